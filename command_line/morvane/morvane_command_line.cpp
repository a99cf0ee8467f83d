#include "morvane_command_line.h"

#include "progress.h"

namespace command_line {

using config_tool::asTheFormHolds;
using config_tool::DriveSettings;

void MorvaneCommandLine::showSettings(const DriveSettings& settings) {
    settings_ = asTheFormHolds(settings);
}

void MorvaneCommandLine::importingSettings() {
    reportProgress("import");
}

void MorvaneCommandLine::applyingSettings() {
    reportProgress("apply");
}

void MorvaneCommandLine::downloadingScope() {
    reportProgress("download");
}

}  // namespace command_line
