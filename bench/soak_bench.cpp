// Honest results under the faults a production line meets, in one table. A noisy line: Connect,
// Apply and a flash of the demo image, many times at each bit-error rate of the simulated line,
// each run with its own seed so that any run can be replayed; a run that reports success must
// leave the drive holding exactly what the form or the image says. An adapter pulled out at each
// USB transfer of a workflow in turn (the emulated FT232R). The power cut at random moments of a
// backup, a restore, a flash and four runs appending to one log. The report counts the successes
// that are not (there must be none), the failures the user was told about, the runs that ended
// with neither, the hangs, the torn files and the adapters not found again. Nothing is asserted.
// With no argument a short form; `soak_bench full` for the long one.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QMainWindow>
#include <QSpinBox>
#include <QStatusBar>
#include <QtTest/QTest>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "bootloader.h"
#include "drive_link.h"
#include "fault_runs.h"
#include "firmware_image.h"
#include "flash_procedure.h"
#include "flasher_front_end.h"
#include "link_error_report.h"
#include "message_box_watcher.h"
#include "morvane.h"
#include "offscreen.h"
#include "settings_form.h"
#include "sim_fixture.h"
#include "soak_tally.h"
#include "window_front_end.h"

using config_tool::axisSettings;
using config_tool::DriveSettings;
using config_tool::kSettingsFlags;
using config_tool::kSettingsFlagsParam;
using config_tool::SettingsFlag;
using config_tool::settingsFromForm;
using drive_link::LinkDialect;
using drive_link::reportLinkError;
using flasher::FirmwareImage;
using flasher::FlasherFrontEnd;
using flasher::flashImage;
using flasher::kImageLoaded;
using flasher::kPacketWords;
using flasher::LoadedImage;
using flasher::loadImage;
using soak::Tally;
using widgets::WindowFrontEnd;

namespace {
constexpr uint64_t kBaseSeed = 20261207;

// The per-transaction trace would only measure the terminal, and the loader's checksum line,
// once per flash, would bury the table.
class Quiet {
public:
    explicit Quiet(FILE* stream) : stream_(stream), fd_(fileno(stream)), saved_(dup(fd_)) {
        std::fflush(stream_);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, fd_);
        close(null);
    }
    ~Quiet() {
        std::fflush(stream_);
        dup2(saved_, fd_);
        close(saved_);
    }

private:
    FILE* stream_;
    int fd_;
    int saved_;
};

bool anyFailureBox(const MessageBoxWatcher& watcher) {
    for (const SeenBox& box : watcher.boxes()) {
        if (box.icon == QMessageBox::Warning || box.icon == QMessageBox::Critical) {
            return true;
        }
    }
    return false;
}

// Every field gets a value it shows exactly: a random parameter content inside its range, for a
// decimal field one that a two-decimal value gives.
void randomizeForm(Ui::MainWindowForm& ui, std::mt19937_64& random) {
    for (QSpinBox* box : ui.centralwidget->findChildren<QSpinBox*>()) {
        box->setValue(std::uniform_int_distribution<int>(box->minimum(), box->maximum())(random));
    }
    for (QDoubleSpinBox* box : ui.centralwidget->findChildren<QDoubleSpinBox*>()) {
        const int lowest = int(std::ceil(box->minimum() * 100));
        const int highest = int(std::floor(box->maximum() * 100));
        box->setValue(std::uniform_int_distribution<int>(lowest, highest)(random) / 100.0);
    }
    for (QCheckBox* box : ui.centralwidget->findChildren<QCheckBox*>()) {
        box->setChecked(random() & 1);
    }
    for (auto axis : {std::make_pair(ui.contcurrM1, ui.peakcurrM1),
                      std::make_pair(ui.contcurrM2, ui.peakcurrM2)}) {
        if (axis.first->value() > axis.second->value()) {
            const int continuous = axis.second->value();
            axis.second->setValue(axis.first->value());
            axis.first->setValue(continuous);
        }
    }
}

// Whether the drive's running parameters are exactly the form's settings.
bool driveHoldsForm(Ui::MainWindowForm& ui, const drive_sim::FerroxFirmware& firmware) {
    const DriveSettings form = settingsFromForm(ui);
    for (size_t i = 0; i < axisSettings().size(); ++i) {
        if (firmware.param(axisSettings()[i].number) != form.contents[i]) {
            return false;
        }
    }
    uint16_t mask = 0;
    for (const SettingsFlag& flag : kSettingsFlags) {
        mask = uint16_t(mask | flag.mask);
    }
    return (firmware.param(kSettingsFlagsParam) & mask) == form.flags;
}

// A drive whose settings are random, put there through a form so that the form can show them.
FerroxBench noisyFerroxDrive(double rate, uint64_t seed, Morvane& scratch) {
    std::mt19937_64 random(seed);
    randomizeForm(scratch.ui, random);
    drive_sim::LinkFaults faults;
    faults.bitErrorRate = rate;
    faults.seed = seed;
    FerroxBench bench = installFerroxDrive(faults);
    const DriveSettings form = settingsFromForm(scratch.ui);
    for (size_t i = 0; i < axisSettings().size(); ++i) {
        bench.firmware.setStoredParam(axisSettings()[i].number, uint16_t(form.contents[i]));
    }
    bench.firmware.setStoredParam(kSettingsFlagsParam, uint16_t(random()));
    return bench;
}

Tally connects(double rate, int runs) {
    Tally tally;
    Morvane scratch;
    for (int i = 0; i < runs; ++i) {
        FerroxBench bench = noisyFerroxDrive(rate, kBaseSeed + uint64_t(i), scratch);
        Morvane window;
        MessageBoxWatcher watcher;
        Quiet quiet(stdout);
        QTest::mouseClick(window.ui.connectButton, Qt::LeftButton);
        const bool success = window.connected && window.ui.statusbar->currentMessage().startsWith(
                                                     "Conneced & settings imported");
        tally.count(success, driveHoldsForm(window.ui, bench.firmware), anyFailureBox(watcher));
    }
    return tally;
}

// Connects on a clean line, then makes the line noisy and applies a random valid form.
Tally applies(double rate, int runs) {
    Tally tally;
    for (int i = 0; i < runs; ++i) {
        const uint64_t seed = kBaseSeed + uint64_t(i);
        FerroxBench bench = installFerroxDrive();
        Morvane window;
        MessageBoxWatcher watcher;
        Quiet quiet(stdout);
        QTest::mouseClick(window.ui.connectButton, Qt::LeftButton);
        std::mt19937_64 random(seed);
        randomizeForm(window.ui, random);
        bench.adapter.faults().seed = seed;
        bench.adapter.faults().bitErrorRate = rate;
        watcher.clear();
        QTest::mouseClick(window.ui.applyButton, Qt::LeftButton);
        const bool success = window.connected && !anyFailureBox(watcher) &&
                             window.ui.statusbar->currentMessage() == "Parameters set";
        tally.count(success, driveHoldsForm(window.ui, bench.firmware), anyFailureBox(watcher));
    }
    return tally;
}

// What the flasher window is to the procedure: a parent for its boxes and a status bar.
class FlashWindow : public QMainWindow, public WindowFrontEnd<FlasherFrontEnd> {
public:
    FlashWindow() : WindowFrontEnd(this) {}
    void setConnected(bool) override {}
    QString askFirmwareFile() override { return {}; }
    void imageAccepted() override {}
    void setFlashing(bool) override {}
    void packetStarted(int, int) override {}
};

LoadedImage loadDemoImage() {
    Quiet quietTrace(stdout);
    Quiet quietChecksum(stderr);
    return loadImage(KMR_DEMO_IMAGE);
}

// The flash as the Flash firmware button runs it: the procedure, then the link check.
Tally flashes(const FirmwareImage& demo, double rate, int runs) {
    Tally tally;
    for (int i = 0; i < runs; ++i) {
        drive_sim::LinkFaults faults;
        faults.bitErrorRate = rate;
        faults.seed = kBaseSeed + uint64_t(i);
        auto bootloader = drive_sim::makeBootloader(drive_sim::BootloaderSettings{});
        drive_sim::SimulatedBootloader& drive = *bootloader;
        installSimulatedDrive(std::move(bootloader), faults);
        drive_link::Link link(LinkDialect::Bootloader);
        const uint16_t* image = demo.words.get();
        const size_t words = size_t(demo.packetCount) * kPacketWords;
        FlashWindow window;
        MessageBoxWatcher watcher;
        Quiet quiet(stdout);
        link.open(false);
        flashImage(link, window, demo);
        reportLinkError(link, window, false);
        bool success = false;
        for (const SeenBox& box : watcher.boxes()) {
            success = success || box.text.startsWith("Flashing successful");
        }
        const bool holdsImage = drive.packetsProgrammed() == demo.packetCount &&
                                std::equal(image, image + words, drive.flash().begin());
        tally.count(success, holdsImage, anyFailureBox(watcher));
    }
    return tally;
}

// The offscreen platform says this whenever a message box opens: hundreds of lines of no news.
void dropBoxNoise(QtMsgType, const QMessageLogContext&, const QString& text) {
    if (!text.contains("propagateSizeHints")) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
}

void printProblems(const soak::Problems& problems) {
    for (const std::string& problem : problems) {
        std::printf("  %s\n", problem.c_str());
    }
}

Tally noiseRows(const FirmwareImage& demo, int runs) {
    Tally total;
    for (double rate : {0.0, 1e-4, 1e-3, 1e-2}) {
        const Tally rows[] = {connects(rate, runs), applies(rate, runs),
                              flashes(demo, rate, runs / 4)};
        const char* names[] = {"Connect", "Apply", "Flash (demo image)"};
        char fault[16];
        std::snprintf(fault, sizeof fault, "BER %.0e", rate);
        for (int i = 0; i < 3; ++i) {
            soak::printTallyRow(names[i], fault, rows[i]);
            total += rows[i];
        }
    }
    return total;
}

Tally unplugRows(const soak::Programs& programs, int positions) {
    Tally total;
#ifdef KMR_UNPLUG_RUNS
    using soak::UsbWorkflow;
    for (UsbWorkflow workflow :
         {UsbWorkflow::Connect, UsbWorkflow::Apply, UsbWorkflow::Flash, UsbWorkflow::Backup}) {
        soak::Problems problems;
        long transfers = 0;
        const Tally tally =
            soak::unplugRuns(workflow, programs, positions, kBaseSeed, problems, &transfers);
        char fault[24];
        std::snprintf(fault, sizeof fault, "unplug/%ld", transfers);
        soak::printTallyRow(soak::workflowName(workflow), fault, tally);
        printProblems(problems);
        total += tally;
    }
#else
    (void)programs;
    (void)positions;
    std::printf("(no unplugs: built without umockdev)\n");
#endif
    return total;
}

Tally powerCutRows(const soak::Programs& programs, int cuts) {
    Tally total;
    using soak::CutCase;
    for (CutCase cutCase : {CutCase::BackupOverFile, CutCase::Restore, CutCase::FlashWithState,
                            CutCase::ParallelLog}) {
        soak::Problems problems;
        const Tally tally = soak::powerCuts(cutCase, programs, cuts, kBaseSeed, problems);
        soak::printTallyRow(soak::cutCaseName(cutCase), "kill -9", tally);
        printProblems(problems);
        total += tally;
    }
    return total;
}
}  // namespace

int main(int argc, char** argv) {
    const bool full = argc > 1 && std::string(argv[1]) == "full";
#ifdef KMR_UNPLUG_RUNS
    // The unplugs need the emulated chip on umockdev's mocked bus.
    if (!soak::unplugRunsAvailable()) {
        char wrapper[] = KMR_UMOCKDEV_WRAPPER;
        char* const command[] = {wrapper, argv[0], argc > 1 ? argv[1] : nullptr, nullptr};
        execv(wrapper, command);
        std::perror("soak_bench: umockdev-wrapper");
        return 1;
    }
#endif
    chooseOffscreenUnlessAsked();
    qInstallMessageHandler(dropBoxNoise);
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(morvane);
    const int noiseRuns = full ? 100 : 20;
    const int positions = full ? 200 : 12;
    const int cuts = full ? 200 : 10;
    const LoadedImage demo = loadDemoImage();
    if (demo.result != kImageLoaded) {
        std::fprintf(stderr, "cannot load %s\n", KMR_DEMO_IMAGE);
        return 1;
    }
    std::printf("Soak (%s form; seeds %llu and up)\n", full ? "full" : "short",
                static_cast<unsigned long long>(kBaseSeed));
    std::printf(
        "Noise: Connect and Apply %d runs per bit-error rate, a flash of the %d-packet demo "
        "image %d, latency 0\n",
        noiseRuns, int(demo.image.packetCount), noiseRuns / 4);
    std::printf(
        "Unplug/N: the real programs on the emulated FT232R (latency timer off), pulled "
        "out at %s of the N USB transfers of a clean run, then plugged in again\n",
        full ? "every one (or 200 seeded)" : "12 seeded");
    std::printf(
        "kill -9: the real programs on --simulate, its latency set so that a run lasts, %d cuts "
        "each at a seeded moment within a clean run\n",
        cuts);
    soak::printTallyHeader();
    const soak::Programs programs{KMR_MORVANE, KMR_TRESSEL};
    Tally total = noiseRows(demo.image, noiseRuns);
    total += unplugRows(programs, positions);
    total += powerCutRows(programs, cuts);
    soak::printTallyRow("all", "", total);
    std::printf("Defects (false successes, unreported, hangs, torn, unrecovered): %d\n",
                total.defects());
    return 0;
}
