// A settings file's text of any bytes as Open takes it, without a window: refused with a reason
// alone, or settings that the form holds in range and that the product's writer puts into a file
// that loads again without a warning, to the same settings.
#include <cmath>

#include "fuzz_check.h"
#include "settings_document.h"
#include "settings_transfer.h"

using namespace config_tool;

namespace {
// The content as the field shows it: itself, or hundredths of mH or Ohm.
int shownValue(const AxisSetting& field, int content) {
    switch (field.kind) {
        case FieldKind::Inductance:
            return int(std::lround(paramToInductance(content) * 100));
        case FieldKind::Resistance:
            return int(std::lround(paramToResistance(content) * 100));
        case FieldKind::Integer:
            break;
    }
    return content;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const SettingsFileLoad load =
        loadSettingsText(QByteArray(reinterpret_cast<const char*>(data), int(size)));
    if (load.refusal) {
        FUZZ_CHECK(*load.refusal && load.warnings.empty(), "a refusal names its reason alone");
        return 0;
    }
    // The version's warning and one per parameter at most: parameter 80 and the axis settings.
    FUZZ_CHECK(load.warnings.size() <= 2 + axisSettings().size(), "warnings");
    const DriveSettings held = asTheFormHolds(load.settings);
    for (size_t i = 0; i < axisSettings().size(); ++i) {
        const int shown = shownValue(axisSettings()[i], held.contents[i]);
        FUZZ_CHECK(shown >= axisSettings()[i].least && shown <= axisSettings()[i].most,
                   "every field in range");
    }
    SettingsDocument written = newSettingsDocument();
    settingsToDocument(held, written);
    const SettingsFileLoad again = loadSettingsText(settingsFileText(written.document));
    FUZZ_CHECK(!again.refusal && again.warnings.empty(), "a written file loads cleanly");
    FUZZ_CHECK(again.settings.flags == held.flags && again.settings.contents == held.contents,
               "the written settings come back");
    return 0;
}
