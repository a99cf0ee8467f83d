// The flasher's workflows run from a shell: the image named on the line stands in for the file
// dialog, the phases are reported as progress.
#pragma once

#include "command_line_report.h"
#include "flasher_front_end.h"

namespace command_line {

class FlasherCommandLine : public CommandLine<flasher::FlasherFrontEnd> {
public:
    FlasherCommandLine(const QString& image, double powerCycleWaitSeconds)
        : CommandLine(powerCycleWaitSeconds), image_(image) {}
    QString askFirmwareFile() override { return image_; }
    void imageAccepted() override {}
    void setFlashing(bool flashing) override;
    void packetStarted(int packet, int packetCount) override;
    void verifyStarted(int packetCount) override;

private:
    QString image_;
};

}  // namespace command_line
