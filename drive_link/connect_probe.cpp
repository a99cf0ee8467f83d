#include "connect_probe.h"

#include "drive_link.h"
#include "front_end.h"

namespace drive_link {

namespace {
constexpr int kConnectingMs = 10000;
}  // namespace

Outcome openAndProbeDrive(Link& link, FrontEnd& frontEnd, bool clockHigh,
                          const QString& instructionsNote) {
    auto refuse = [&](const char* text, Failure failure) {
        frontEnd.showMessage(MessageKind::Warning, "Error", frontEnd.translate(text), failure);
        return Outcome::failed(failure);
    };

    frontEnd.showStatus(frontEnd.translate("Connecting to drive..."), kConnectingMs);
    frontEnd.setConnected(false);
    if (!link.open(clockHigh)) {
        return refuse("Unable to open USB adapter", Failure::NoAdapter);
    }
    frontEnd.askForPowerCycle(
        frontEnd.translate(
            "USB adapter found. <br><br><b>Restart drive logic voltage now</b> to estabilish  "
            "connection:<br>&nbsp;&nbsp;1. Power-off drive logic voltage (if "
            "powered)<br>&nbsp;&nbsp;2. Power-up drive logic voltage<br>&nbsp;&nbsp;3. Press "
            "Ok<br><br><b>Make sure</b> there is nothing connected to CMD connector <b>and</b> "
            "USB adapter is connected to SPI connector.") +
        instructionsNote);

    bool error = false;
    link.sendNoOp(error);
    link.sendNoOp(error);
    error = false;
    uint32_t probe = 0;
    link.sendNoOp(error, &probe);
    if (probe == 0 || probe == 0xFFFFFFFFu) {
        return refuse(
            "Unable to communicate with drive. No data received from device. <br>Ensure that you "
            "have followed the instructions of previous dialog.",
            Failure::NoDrive);
    }
    if (error) {
        return refuse(
            "Unable to communicate with drive. Data checksum error. <br>Ensure that you have "
            "followed the instructions of previous dialog.",
            Failure::NoDrive);
    }
    return Outcome::done();
}

}  // namespace drive_link
