// A settings file's text of any bytes as Open takes it, without a window: refused with a reason
// alone, or settings that, as the form holds them (in range: the window's harness checks the
// fields), the product's writer puts into a file that loads again without a warning, to the same
// settings.
#include "fuzz_check.h"
#include "settings_document.h"
#include "settings_transfer.h"

using namespace config_tool;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const SettingsFileLoad load =
        loadSettingsText(QByteArray(reinterpret_cast<const char*>(data), int(size)));
    if (load.refusal) {
        FUZZ_CHECK(*load.refusal && load.warnings.empty(), "a refusal names its reason alone");
        return 0;
    }
    const DriveSettings held = asTheFormHolds(load.settings);
    const SettingsFileLoad again = loadSettingsText(settingsFileText(held));
    FUZZ_CHECK(!again.refusal && again.warnings.empty(), "a written file loads cleanly");
    FUZZ_CHECK(again.settings.flags == held.flags && again.settings.contents == held.contents,
               "the written settings come back");
    return 0;
}
