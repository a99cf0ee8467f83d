#include "kept_settings.h"

#include "settings_comparison.h"

namespace config_tool {

bool KeptSettings::keep(const DriveSettings& form) const {
    auto equals = [&form](const DriveSettings& kept) { return differingLines(kept, form).empty(); };
    return equals(atStart) || (lastOnDrive && equals(*lastOnDrive)) ||
           (lastInFile && equals(*lastInFile));
}

}  // namespace config_tool
