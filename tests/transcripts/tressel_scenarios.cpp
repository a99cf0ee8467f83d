// The flasher's workflows against the simulated bootloader.
#include <QTemporaryDir>

#include "bootloader.h"
#include "drive_link.h"
#include "firmware_image.h"
#include "flash_procedure.h"
#include "flasher_workflows.h"
#include "scenarios.h"
#include "sim_fixture.h"
#include "sim_options.h"
#include "transcript.h"
#include "vlf_writer.h"

using namespace drive_link;
using namespace flasher;

namespace {
using drive_sim::AdapterCall;

struct Session {
    explicit Session(std::unique_ptr<drive_sim::DrivePersonality> drive)
        : adapter(installSimulatedDrive(std::move(drive))),
          transcript(adapter),
          ui(transcript.sink()) {
        setUpScenarioLink(link);
    }
    void run(const char* title, FoundBootloader (*connect)(Link&, FlasherFrontEnd&)) {
        transcript.add(QString("== ") + title);
        connect(link, ui);
    }
    // Keeps an accepted image for the flashes that follow, as the window does.
    void run(const char* title, OpenedImage (*open)(FlasherFrontEnd&)) {
        transcript.add(QString("== ") + title);
        OpenedImage opened = open(ui);
        if (opened.outcome.succeeded()) {
            image = std::move(opened.image);
        }
    }
    void run(const char* title, Outcome (*flash)(Link&, FlasherFrontEnd&, const FirmwareImage&)) {
        transcript.add(QString("== ") + title);
        flash(link, ui, image);
    }
    // Loads an image of `packets` pattern packets through Open firmware file.
    void open(int packets) {
        vlf::ImageLayout image;
        image.setupWord = 0x1234;
        image.words = vlf::patternPackets(packets, 7);
        std::string error;
        vlf::writeImage(dir.filePath("image.vlf").toStdString(), image, error);
        ui.fileAnswer = dir.filePath("image.vlf");
        run(qPrintable(QString("open, %1 packets").arg(packets)), openFirmwareFile);
    }
    QString text() { return transcript.text(); }

    drive_sim::SimulatedAdapter& adapter;
    Transcript transcript;
    FlasherRecorder ui;
    Link link{LinkDialect::Bootloader, scenarioLinkSettings()};
    QTemporaryDir dir;
    FirmwareImage image;
};

// The bootloader, with the CRC of its answers to one command broken on request.
class TamperedBootloader : public drive_sim::DrivePersonality {
public:
    explicit TamperedBootloader(std::unique_ptr<drive_sim::SimulatedBootloader> inner)
        : inner_(std::move(inner)) {}
    void powerUp() override { inner_->powerUp(); }
    drive_sim::Answer execute(uint8_t command, uint16_t value) override {
        drive_sim::Answer answer = inner_->execute(command, value);
        if (command == brokenCommand) {
            answer.raw ^= 1;
        }
        return answer;
    }
    uint32_t powerUpReply() const override { return inner_->powerUpReply(); }
    int brokenCommand = -1;

private:
    std::unique_ptr<drive_sim::SimulatedBootloader> inner_;
};

drive_sim::SimulatedBootloader* installed = nullptr;
TamperedBootloader* tampered = nullptr;
std::unique_ptr<drive_sim::DrivePersonality> quickBootloader() {
    drive_sim::BootloaderSettings settings;
    settings.eraseBusyFrames = 3;
    settings.programBusyFrames = 2;
    auto bootloader = drive_sim::makeBootloader(settings);
    installed = bootloader.get();
    auto wrapper = std::make_unique<TamperedBootloader>(std::move(bootloader));
    tampered = wrapper.get();
    return wrapper;
}

QString connectAndOpen() {
    Session s(quickBootloader());
    s.adapter.faults().failingCalls = {AdapterCall::Open};
    s.run("connect, adapter cannot be opened", connectBootloader);
    s.adapter.faults().failingCalls.clear();
    installed->settings().version = 108;
    s.run("connect, version 108", connectBootloader);
    installed->settings().version = 111;
    s.run("connect, version 111", connectBootloader);
    installed->settings().version = 110;
    s.run("connect", connectBootloader);
    s.ui.fileAnswer.clear();
    s.run("open, cancelled", openFirmwareFile);
    s.ui.fileAnswer = s.dir.filePath("missing.vlf");
    s.run("open, missing", openFirmwareFile);
    s.open(0);
    s.open(1);
    s.run("connect again", connectBootloader);
    return s.text();
}

QString notInBootloaderMode() {
    Session s(drive_sim::makeFerroxFirmware());
    s.run("connect", connectBootloader);
    return s.text();
}

QString flash() {
    Session s(quickBootloader());
    s.run("connect", connectBootloader);
    s.open(2);
    s.run("flash", flashFirmware);
    return s.text();
}

QString flashFaults() {
    Session s(quickBootloader());
    s.run("connect", connectBootloader);
    s.open(1);
    installed->settings().faultBits = 0x0040;
    s.run("flash, fault bits active", flashFirmware);
    installed->settings().faultBits = 0;
    installed->settings().failVerification = true;
    s.run("connect", connectBootloader);
    s.run("flash, verification fails", flashFirmware);
    installed->settings().failVerification = false;
    s.run("connect", connectBootloader);
    tampered->brokenCommand = 22;  // the verdict says yes, but its reply fails the CRC
    s.run("flash, the verdict's reply broken", flashFirmware);
    tampered->brokenCommand = -1;
    installed->settings().unexpectedStatusAfterBusy = true;
    s.run("connect", connectBootloader);
    s.run("flash, status 0 after the erase", flashFirmware);
    installed->settings().unexpectedStatusAfterBusy = false;
    installed->settings().busyForever = true;
    s.ui.idleLimit = std::chrono::milliseconds(0);
    s.run("connect", connectBootloader);
    s.run("flash, erase never ends", flashFirmware);
    installed->settings().busyForever = false;
    s.ui.idleLimit = flasher::kDefaultIdleTimeLimit;
    s.run("connect", connectBootloader);
    // Connect takes 11 frames; then 25, 1, 1, the setup word, the erase, and the wait's 1, 1.
    s.adapter.faults().bitSlipAtFrame = 11 + 3 + 2 + 1;
    s.run("flash, the erase wait's status broken", flashFirmware);
    s.adapter.faults().bitSlipAtFrame = -1;
    s.run("connect", connectBootloader);
    s.adapter.faults().stopAnsweringAfterFrames = 30;
    s.run("flash, drive falls silent during the first packet", flashFirmware);
    return s.text();
}
}  // namespace

std::vector<Scenario> tresselScenarios() {
    return {
        {"tressel_connect_and_open", connectAndOpen},
        {"tressel_not_in_bootloader_mode", notInBootloaderMode},
        {"tressel_flash", flash},
        {"tressel_flash_faults", flashFaults},
    };
}
