#include "flash_time.h"

#include "firmware_image.h"

namespace flasher {

int framesToFlash(int packetCount) {
    // Counted call by call from flashImage, writePacket, waitForIdle and the bootloader's
    // operations they call, and flashFirmware's final link report; the link reports
    // (reportLinkError) send two no-ops each.
    constexpr int kFirstCheck = 3;
    constexpr int kSetupAndErase = 2;
    constexpr int kIdleAtFirstLook = 2;  // statusAfterCommand
    constexpr int kDrains = 2 * 2;
    constexpr int kLinkReport = 2;
    constexpr int kPerPacket =
        kPacketWords * (1 + kLinkReport) + 1 + kIdleAtFirstLook + kLinkReport;
    constexpr int kVerify = 6 + 1 + 2;
    return kFirstCheck + kSetupAndErase + kIdleAtFirstLook + kDrains + packetCount * kPerPacket +
           kVerify + kLinkReport;
}

double secondsToFlash(int packetCount, double msPerRunFrame, double msPerAnsweredFrame) {
    const int runFrames = 3 * kPacketWords * packetCount;
    return (runFrames * msPerRunFrame +
            (framesToFlash(packetCount) - runFrames) * msPerAnsweredFrame) /
           1000;
}

}  // namespace flasher
