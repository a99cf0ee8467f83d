// Honest results on a noisy line: Connect, Apply and a flash of the demo image, many times at
// each bit-error rate of the simulated line, each run with its own seed so that any run can be
// replayed. A run that reports success must leave the drive holding exactly what the form or the
// image says; the report counts the successes where it does not (there must be none), the
// failures the user was told about, and the runs that ended with neither. Nothing is asserted.
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

#include "bootloader.h"
#include "drive_link.h"
#include "firmware_image.h"
#include "flash_procedure.h"
#include "flasher_front_end.h"
#include "link_error_report.h"
#include "message_box_watcher.h"
#include "morvane.h"
#include "settings_form.h"
#include "sim_fixture.h"
#include "window_front_end.h"

using config_tool::axisSettings;
using config_tool::DriveSettings;
using config_tool::kSettingsFlags;
using config_tool::kSettingsFlagsParam;
using config_tool::SettingsFlag;
using config_tool::settingsFromForm;
using drive_link::LinkDialect;
using drive_link::openLink;
using drive_link::quietTrace;
using drive_link::reportLinkError;
using drive_link::setLinkDialect;
using flasher::FirmwareImage;
using flasher::FlasherFrontEnd;
using flasher::flashImage;
using flasher::kImageLoaded;
using flasher::kPacketWords;
using flasher::LoadedImage;
using flasher::loadImage;
using widgets::WindowFrontEnd;

namespace {
constexpr uint64_t kBaseSeed = 20261207;

struct Tally {
    int runs = 0;
    int successes = 0;
    int falseSuccesses = 0;
    int reportedFailures = 0;
    int unreported = 0;  // neither success nor a message: must not happen either

    void count(bool success, bool holdsWhatWasSaid, bool failureShown) {
        ++runs;
        successes += success;
        falseSuccesses += success && !holdsWhatWasSaid;
        reportedFailures += !success && failureShown;
        unreported += !success && !failureShown;
    }
};

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
    setLinkDialect(LinkDialect::Firmware);
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
    setLinkDialect(LinkDialect::Firmware);
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
        // Installing a drive starts the process afresh, the dialect too.
        installSimulatedDrive(std::move(bootloader), faults);
        setLinkDialect(LinkDialect::Bootloader);
        const uint16_t* image = demo.words.get();
        const size_t words = size_t(demo.packetCount) * kPacketWords;
        FlashWindow window;
        MessageBoxWatcher watcher;
        Quiet quiet(stdout);
        openLink(false);
        flashImage(window, demo);
        reportLinkError(window, false);
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

void printRow(const char* operation, double rate, const Tally& tally) {
    std::printf("%-9s %8.0e %6d %10d %16d %18d %11d\n", operation, rate, tally.runs,
                tally.successes, tally.falseSuccesses, tally.reportedFailures, tally.unreported);
    std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qInstallMessageHandler(dropBoxNoise);
    QApplication app(argc, argv);
    Q_INIT_RESOURCE(morvane);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    const LoadedImage demo = loadDemoImage();
    if (demo.result != kImageLoaded) {
        std::fprintf(stderr, "cannot load %s\n", KMR_DEMO_IMAGE);
        return 1;
    }
    std::printf(
        "Connect, Apply and a flash of the %d-packet demo image on a noisy simulated line\n",
        int(demo.image.packetCount));
    std::printf(
        "(seeds %llu and up, one per run; latency 0; Connect and Apply %d runs, flash %d)\n",
        static_cast<unsigned long long>(kBaseSeed), runs, runs / 4);
    std::printf("%-9s %8s %6s %10s %16s %18s %11s\n", "operation", "BER", "runs", "successes",
                "false successes", "failures reported", "unreported");
    Tally total;
    for (double rate : {0.0, 1e-4, 1e-3, 1e-2}) {
        const Tally rows[] = {connects(rate, runs), applies(rate, runs),
                              flashes(demo.image, rate, runs / 4)};
        const char* names[] = {"Connect", "Apply", "Flash"};
        for (int i = 0; i < 3; ++i) {
            printRow(names[i], rate, rows[i]);
            total.runs += rows[i].runs;
            total.successes += rows[i].successes;
            total.falseSuccesses += rows[i].falseSuccesses;
            total.reportedFailures += rows[i].reportedFailures;
            total.unreported += rows[i].unreported;
        }
    }
    std::printf(
        "Summary: %d runs, %d successes, %d false successes, %d failures reported, %d "
        "failures unreported\n",
        total.runs, total.successes, total.falseSuccesses, total.reportedFailures,
        total.unreported);
    return 0;
}
