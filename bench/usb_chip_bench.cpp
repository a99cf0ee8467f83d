// The real adapter path on the emulated FT232R: transactions per second through the libftdi1
// provider, libftdi1 and libusb (the chip's latency timer off, so the figure is the cost of the
// software path), beside the byte-level simulated adapter; then the time per frame the chip's
// 4 ms latency timer makes a user wait on real hardware, and the link check's figures for byte
// clocks of 6, 50 and 400 us per byte (the readings of a real chip's clock differ that much)
// beside the software's own share of a frame. A report on standard error; nothing is asserted.
// Re-runs itself under umockdev-wrapper when started without it.
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "drive_link.h"
#include "flash_time.h"
#include "link_check.h"
#include "sim_fixture.h"
#include "sim_options.h"
#include "usb_chip_fixture.h"

namespace {
using Clock = std::chrono::steady_clock;

// Frames per second of `frames` no-op transactions on the link that is open.
double framesPerSecond(drive_link::Link& link, int frames) {
    link.setQuietTrace(true);  // the cost of the link, not of the trace
    bool error = false;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < frames; ++i) {
        link.transact(2, 0, error);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (error) {
        std::fprintf(stderr, "  (the link reported an error)\n");
    }
    return frames / seconds;
}

double onEmulatedChip(bool latencyTimerOn, int frames) {
    drive_sim::ChipOptions options;
    options.latencyTimerOn = latencyTimerOn;
    EmulatedAdapter chip(drive_sim::makeFerroxFirmware(), options);
    drive_link::Link link;
    return link.open(true) ? framesPerSecond(link, frames) : 0.0;
}

// The link check on the emulated chip with its byte clock at `usPerByte`; the latency timer off
// and no byte clock leave the software's own time per frame.
drive_link::LinkMeasurement linkCheck(double usPerByte, bool latencyTimerOn, int frames) {
    drive_sim::ChipOptions options;
    options.latencyTimerOn = latencyTimerOn;
    options.microsecondsPerByte = usPerByte;
    EmulatedAdapter chip(drive_sim::makeFerroxFirmware(), options);
    drive_link::Link link;
    return link.open(true) ? drive_link::measureLink(link, frames) : drive_link::LinkMeasurement{};
}

void printLinkChecks() {
    std::fprintf(stderr,
                 "\n  link-test on the emulated FT232R, 4 ms latency timer\n"
                 "  %-10s %10s %10s %8s %12s %14s\n",
                 "us/byte", "frames/s", "ms/frame", "CRC", "software ms", "120 packets s");
    const drive_link::LinkMeasurement software = linkCheck(0, false, 1000);
    for (double usPerByte : {6.0, 50.0, 400.0}) {
        const drive_link::LinkMeasurement m =
            linkCheck(usPerByte, true, usPerByte > 100 ? 60 : 150);
        std::fprintf(stderr, "  %-10.0f %10.1f %10.2f %8d %12.3f %14.0f\n", usPerByte,
                     m.framesPerSecond(), m.msPerFrame(), m.crcFailures, software.msPerFrame(),
                     flasher::framesToFlash(120) * m.msPerFrame() / 1000);
    }
}
}  // namespace

int main(int, char** argv) {
    if (!drive_sim::EmulatedFt232r::mockedBusAvailable()) {
        char wrapper[] = KMR_UMOCKDEV_WRAPPER;
        char* const command[] = {wrapper, argv[0], nullptr};
        execv(wrapper, command);
        std::perror("usb_chip_bench: umockdev-wrapper");
        return 1;
    }
    std::fprintf(stderr, "usb_chip_bench: no-op transactions (one frame, two 33-byte words)\n");

    const double emulated = onEmulatedChip(false, 2000);
    installFerroxDrive();
    drive_link::Link link;
    const double simulated = link.open(true) ? framesPerSecond(link, 20000) : 0.0;
    std::fprintf(stderr, "  %-58s %8.0f frames/s\n",
                 "libftdi1 provider on the emulated FT232R, latency timer off", emulated);
    std::fprintf(stderr, "  %-58s %8.0f frames/s\n", "simulated adapter (--simulate), no latency",
                 simulated);

    const double paced = onEmulatedChip(true, 100);
    std::fprintf(stderr, "  %-58s %8.2f ms/frame  (%.0f frames/s)\n",
                 "emulated FT232R at the 4 ms latency timer", 1000.0 / paced, paced);
    printLinkChecks();
    return 0;
}
