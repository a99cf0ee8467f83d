// Whether closing the window would lose the form: it is lost only when it equals none of the
// settings kept elsewhere.
#pragma once

#include <optional>

#include "settings_table.h"

namespace config_tool {

// Where the settings of the form are kept besides the form, so that closing loses nothing: the
// form's start values, what the drive last held (it still holds them once the link is gone), and
// the file last saved or opened.
struct KeptSettings {
    DriveSettings atStart;
    std::optional<DriveSettings> lastOnDrive;
    std::optional<DriveSettings> lastInFile;

    // Whether `form` equals one of them.
    bool keep(const DriveSettings& form) const;
};

}  // namespace config_tool
