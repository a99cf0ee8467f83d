// The standard link against the fast one on the emulated FT232R, for the work a user waits for:
// Connect, Apply, a 100 ms step test with its download, and a flash. Beside each time the byte
// clock's limit: the frames' bytes alone at the chip's byte time, without gaps or USB overhead.
// Usage: usb_link_modes_bench [--fast-only] [PACKETS [US_PER_BYTE...]]   (default 3 packets at
// 6.25, 50 and 400 us a byte; 120 packets for the whole image, some 25 minutes). --fast-only
// leaves the standard link out, to repeat the fast figures on a busy machine.
#include <unistd.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "bootloader.h"
#include "drive_link.h"
#include "firmware_image.h"
#include "flasher_workflows.h"
#include "morvane_workflows.h"
#include "output_capture.h"
#include "recording_front_end.h"
#include "sim_options.h"
#include "step_response.h"
#include "step_test.h"
#include "usb_chip_fixture.h"
#include "vlf_writer.h"

using drive_link::Link;
using drive_link::LinkDialect;
using drive_link::LinkMode;
using drive_link::LinkSettings;

namespace {
constexpr int kBytesPerFrame = 66;  // two words of 33 bytes

struct Row {
    double seconds = 0;
    size_t frames = 0;
    bool ok = false;
};

const char* modeName(const LinkSettings& settings) {
    if (settings.mode == LinkMode::Standard) {
        return "standard";
    }
    return settings.wordGapMicroseconds == 0 ? "fast, gap 0" : "fast, gap 100 us";
}

void print(const char* work, double usPerByte, const LinkSettings& settings, const Row& row) {
    const double limit = double(row.frames) * kBytesPerFrame * usPerByte / 1e6;
    std::fprintf(stderr, "  %-22s %8.2f  %-17s %9.2f %8zu %9.2f %7.2f %s\n", work, usPerByte,
                 modeName(settings), row.seconds, row.frames, limit,
                 limit > 0 ? row.seconds / limit : 0.0, row.ok ? "" : "FAILED");
}

template <class Work>
Row timed(drive_sim::EmulatedFt232r& chip, Work work) {
    const size_t before = chip.frameLog().size();
    const auto start = std::chrono::steady_clock::now();
    const bool ok = work();
    Row row;
    row.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    row.frames = chip.frameLog().size() - before;
    row.ok = ok;
    return row;
}

drive_sim::ChipOptions chipAt(double usPerByte) {
    drive_sim::ChipOptions options;
    options.microsecondsPerByte = usPerByte;
    options.latencyTimerOn = true;
    return options;
}

void configurationProgram(double usPerByte, const LinkSettings& settings, bool withStepTest) {
    EmulatedAdapter chip(drive_sim::makeFerroxFirmware(), chipAt(usPerByte));
    Link link(LinkDialect::Firmware, settings);
    link.setTraceSink(drive_link::discardingTrace());
    MorvaneRecorder ui([](const QString&) {});
    OutputCapture quiet;
    const Row connect =
        timed(*chip, [&] { return config_tool::connectDrive(link, ui).outcome.succeeded(); });
    const Row apply =
        timed(*chip, [&] { return config_tool::applySettings(link, ui).succeeded(); });
    Row step;
    if (withStepTest) {
        ui.spanMs = 100;
        ui.recordWaits = true;  // the test's own waits are the drive's time, not the link's
        step = timed(*chip, [&] { return response::runStepTest(link, ui).outcome.succeeded(); });
    }
    quiet.stop();
    print("Connect", usPerByte, settings, connect);
    print("Apply", usPerByte, settings, apply);
    if (withStepTest) {
        print("step test, 100 ms", usPerByte, settings, step);
    }
}

void flash(double usPerByte, const LinkSettings& settings, const QString& image, int packets) {
    drive_sim::BootloaderSettings quick;
    quick.eraseBusyFrames = 2;
    quick.programBusyFrames = 1;
    EmulatedAdapter chip(drive_sim::makeBootloader(quick), chipAt(usPerByte));
    Link link(LinkDialect::Bootloader, settings);
    link.setTraceSink(drive_link::discardingTrace());
    FlasherRecorder ui([](const QString&) {});
    ui.fileAnswer = image;
    OutputCapture quiet;
    const flasher::OpenedImage opened = flasher::openFirmwareFile(ui);
    const bool connected = flasher::connectBootloader(link, ui).outcome.succeeded();
    const Row row = timed(*chip, [&] {
        return connected && flasher::flashFirmware(link, ui, opened.image).succeeded();
    });
    quiet.stop();
    char work[32];
    std::snprintf(work, sizeof work, "flash, %d packets", packets);
    print(work, usPerByte, settings, row);
}
}  // namespace

int main(int argc, char** argv) {
    if (!drive_sim::EmulatedFt232r::mockedBusAvailable()) {
        char wrapper[] = KMR_UMOCKDEV_WRAPPER;
        std::vector<char*> command{wrapper};
        for (int i = 0; i < argc; ++i) {
            command.push_back(argv[i]);
        }
        command.push_back(nullptr);
        execv(wrapper, command.data());
        std::perror("usb_link_modes_bench: umockdev-wrapper");
        return 1;
    }
    QCoreApplication app(argc, argv);
    const bool fastOnly = argc > 1 && std::string(argv[1]) == "--fast-only";
    if (fastOnly) {
        --argc;
        ++argv;
    }
    const int packets = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const char* dir = std::getenv("TMPDIR");
    const std::string path = std::string(dir && *dir ? dir : "/tmp") + "/usb_link_modes_bench.vlf";
    vlf::ImageLayout layout;
    layout.words = vlf::patternPackets(size_t(packets), 7);
    std::string error;
    if (!vlf::writeImage(path, layout, error)) {
        std::fprintf(stderr, "usb_link_modes_bench: %s\n", error.c_str());
        return 1;
    }
    std::fprintf(stderr,
                 "usb_link_modes_bench: the standard link (4 ms latency timer) and the fast one "
                 "(1 ms), on the emulated FT232R\n"
                 "  %-22s %8s  %-17s %9s %8s %9s %7s\n",
                 "work", "us/byte", "link", "seconds", "frames", "limit s", "x limit");
    const LinkSettings modes[] = {{LinkMode::Standard, 0},
                                  {LinkMode::Fast, 0},
                                  {LinkMode::Fast, drive_link::kDefaultWordGapMicroseconds}};
    std::vector<double> clocks;
    for (int i = 2; i < argc; ++i) {
        clocks.push_back(std::atof(argv[i]));
    }
    if (clocks.empty()) {
        clocks = {6.25, 50.0, 400.0};
    }
    for (double usPerByte : clocks) {
        for (const LinkSettings& settings : modes) {
            if (fastOnly && settings.mode == LinkMode::Standard) {
                continue;
            }
            // At the slow byte clock the standard link's step test alone takes half a minute.
            configurationProgram(usPerByte, settings, usPerByte < 100 || packets > 3);
            flash(usPerByte, settings, QString::fromStdString(path), packets);
        }
    }
    std::remove(path.c_str());
    return 0;
}
