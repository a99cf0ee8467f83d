// How long a 120-packet flash takes on the simulated link, and how many transactions it needs,
// at the default simulated USB latency and at none, or at the latencies in milliseconds given as
// arguments. A report; nothing is asserted.
#include <unistd.h>
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bootloader.h"
#include "drive_link.h"
#include "firmware_image.h"
#include "flash_procedure.h"
#include "flasher_window.h"
#include "message_box_watcher.h"
#include "offscreen.h"
#include "provider.h"
#include "sim_options.h"
#include "vlf_writer.h"

using drive_link::LinkDialect;
using flasher::FirmwareImage;
using flasher::flashImage;

namespace {
constexpr size_t kPackets = 120;

struct Run {
    double seconds = 0;
    size_t frames = 0;
    bool verified = false;
};

FirmwareImage patternImage() {
    const std::vector<uint16_t> words = vlf::patternPackets(kPackets, 1);
    FirmwareImage image{uint16_t(kPackets), 0x0001, std::make_unique<uint16_t[]>(words.size())};
    std::copy(words.begin(), words.end(), image.words.get());
    return image;
}

// The trace of some 28000 transactions goes to /dev/null so that the terminal's speed is not
// what gets measured.
Run flashAt(const FirmwareImage& image, double latencyMs) {
    auto bootloader = drive_sim::makeBootloader(drive_sim::BootloaderSettings{});
    drive_sim::SimulatedBootloader& drive = *bootloader;
    auto adapter = std::make_unique<drive_sim::SimulatedAdapter>(
        std::move(bootloader), drive_sim::LinkFaults{}, latencyMs);
    drive_sim::SimulatedAdapter& adapterRef = *adapter;
    installD2xxProvider(std::move(adapter));
    Morvane window;
    drive_link::Link& link = window.link;
    link.open(false);

    MessageBoxWatcher watcher;
    std::fflush(stdout);
    const int savedOut = dup(STDOUT_FILENO);
    FILE* sink = std::freopen("/dev/null", "w", stdout);
    const size_t before = adapterRef.frameLog().size();
    const auto start = std::chrono::steady_clock::now();
    Run run;
    flashImage(link, window, image);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fflush(stdout);
    if (sink) {
        dup2(savedOut, STDOUT_FILENO);
    }
    close(savedOut);
    run.frames = adapterRef.frameLog().size() - before;
    const std::vector<uint16_t> words = vlf::patternPackets(kPackets, 1);
    run.verified = std::equal(words.begin(), words.end(), drive.flash().begin()) &&
                   watcher.boxes().size() == 1 &&
                   watcher.boxes()[0].icon == QMessageBox::Information;
    link.close();
    return run;
}
}  // namespace

int main(int argc, char** argv) {
    chooseOffscreenUnlessAsked();
    QApplication app(argc, argv);
    const FirmwareImage image = patternImage();

    std::printf("Flash of a %zu-packet image on the simulated bootloader\n", kPackets);
    std::printf("%-26s %12s %10s %14s %9s\n", "USB transfer latency", "transactions", "seconds",
                "per packet ms", "verified");
    std::vector<double> latencies{drive_sim::SimOptions{}.latencyMs, 0.0};
    if (argc > 1) {
        latencies.clear();
        for (int i = 1; i < argc; ++i) {
            latencies.push_back(std::max(0.0, std::atof(argv[i])));
        }
    }
    for (double latency : latencies) {
        const Run run = flashAt(image, latency);
        char label[32];
        std::snprintf(label, sizeof label, "%.2f ms%s", latency,
                      latency == drive_sim::SimOptions{}.latencyMs ? " (default)" : "");
        std::printf("%-26s %12zu %10.2f %14.2f %9s\n", label, run.frames, run.seconds,
                    1000.0 * run.seconds / kPackets, run.verified ? "yes" : "NO");
    }
    std::printf(
        "Each transaction is four USB transfers of 33 bytes; a packet is 72 data words, "
        "each followed by the two no-ops of its link check.\n");
    return 0;
}
