#include "link_test.h"

#include <QJsonArray>
#include <algorithm>
#include <cstdio>

#include "command_line_report.h"
#include "connect_probe.h"
#include "exit_codes.h"
#include "flash_time.h"
#include "link_check.h"

namespace command_line {

using drive_link::LinkDialect;
using drive_link::LinkMeasurement;
using drive_link::LinkMode;

namespace {
constexpr int kMostFrames = 1000000;

const QCommandLineOption kFramesOption("frames", "frames to send, 1 to 1000000 (default 1000)", "N",
                                       "1000");

const QCommandLineOption kSweepOption(
    "sweep", "measure the standard link and the fast one at several word gaps, and recommend one");

QString framesRefusal(const QCommandLineParser& parser) {
    bool isNumber = false;
    const int frames = parser.value(kFramesOption).toInt(&isNumber);
    return isNumber && frames >= 1 && frames <= kMostFrames
               ? QString()
               : QString("--frames takes a whole number from 1 to %1").arg(kMostFrames);
}

// One setting's figures: frames in runs, as a packet goes, and frames one at a time, as polls go.
struct SettingFigures {
    drive_link::LinkSettings settings;
    LinkMeasurement runs;
    LinkMeasurement single;
    double flashSeconds = 0;
    bool clean() const {
        return runs.crcFailures + single.crcFailures + runs.linkLosses + single.linkLosses == 0;
    }
};

QString settingName(const drive_link::LinkSettings& settings) {
    return settings.mode == LinkMode::Standard
               ? QString("--link=standard")
               : QString("--link=fast --word-gap=%1").arg(settings.wordGapMicroseconds);
}

SettingFigures measureSetting(drive_link::Link& link, drive_link::LinkSettings settings,
                              int frames) {
    link.changeSettings(settings);
    SettingFigures figures{settings, drive_link::measureLink(link, frames), {}, 0};
    if (settings.mode == LinkMode::Fast && link.state().linkGood) {
        figures.single = drive_link::measureLink(link, std::max(1, frames / 10), 1);
    } else {
        figures.single = figures.runs;  // the standard link sends every frame alone
    }
    figures.flashSeconds = flasher::secondsToFlash(
        kReferenceFlashPackets, figures.runs.msPerFrame(), figures.single.msPerFrame());
    return figures;
}

QJsonObject figuresObject(const SettingFigures& f) {
    return {{"link", f.settings.mode == LinkMode::Fast ? "fast" : "standard"},
            {"word_gap_us", f.settings.mode == LinkMode::Fast ? f.settings.wordGapMicroseconds : 0},
            {"frames", f.runs.frames},
            {"frames_per_second", f.runs.framesPerSecond()},
            {"ms_per_frame", f.runs.msPerFrame()},
            {"ms_per_answered_frame", f.single.msPerFrame()},
            {"crc_failures", f.runs.crcFailures + f.single.crcFailures},
            {"link_losses", std::max(f.runs.linkLosses, f.single.linkLosses)},
            {"byte_us", f.runs.byteMicroseconds},
            {"flash_120_packets_s", f.flashSeconds}};
}

int exitCodeOf(const SettingFigures& f) {
    if (f.runs.linkLosses || f.single.linkLosses) {
        return kExitLinkLost;
    }
    return f.clean() ? kExitDone : kExitDriveFailed;
}

// The standard link, then the fast one from the longest gap to none: the table on standard
// error, the fastest setting without a failure as the result.
SubcommandResult sweep(drive_link::Link& link, int frames) {
    std::vector<SettingFigures> table;
    std::vector<drive_link::LinkSettings> settings{{LinkMode::Standard, 0}};
    for (int gap : {1000, 400, drive_link::kDefaultWordGapMicroseconds, 25, 0}) {
        settings.push_back({LinkMode::Fast, gap});
    }
    std::fprintf(stderr, "%-30s %10s %9s %5s %8s %10s\n", "setting", "frames/s", "ms/frame", "CRC",
                 "byte us", "120 pk s");
    QJsonArray rows;
    const SettingFigures* best = nullptr;
    for (const drive_link::LinkSettings& setting : settings) {
        if (!link.state().linkGood) {
            break;
        }
        table.push_back(measureSetting(link, setting, frames));
        const SettingFigures& f = table.back();
        std::fprintf(stderr, "%-30s %10.1f %9.3f %5d %8.2f %10.1f\n",
                     qPrintable(settingName(setting)), f.runs.framesPerSecond(),
                     f.runs.msPerFrame(), f.runs.crcFailures + f.single.crcFailures,
                     f.runs.byteMicroseconds, f.flashSeconds);
        rows.append(figuresObject(f));
    }
    for (const SettingFigures& f : table) {
        if (f.clean() && (!best || f.flashSeconds < best->flashSeconds)) {
            best = &f;
        }
    }
    link.changeSettings({});
    const int exitCode = table.empty() ? kExitLinkLost : exitCodeOf(table.front());
    SubcommandResult result{exitCode, {}, {}, {}};
    if (best) {
        result.line =
            QString("%1fastest without a failure: %2 (a %3-packet flash: %4 s on the link)")
                .arg(exitCode == kExitDone ? "" : "failed: ")
                .arg(settingName(best->settings))
                .arg(kReferenceFlashPackets)
                .arg(best->flashSeconds, 0, 'f', 0);
        result.details["recommended"] = figuresObject(*best);
    } else {
        result.exitCode = exitCode == kExitDone ? kExitDriveFailed : exitCode;
        result.line = "failed: every setting had failures; check the cable and the drive";
    }
    result.details["sweep"] = rows;
    return result;
}

SubcommandResult linkTest(const SubcommandCall& call) {
    CommandLine<drive_link::FrontEnd> frontEnd(call.powerCycleWaitSeconds);
    // The same start as each program's Connect: the firmware idles with the clock high, the
    // bootloader with it low, and the flasher's instruction carries its note.
    const bool firmware = call.link.dialect() == LinkDialect::Firmware;
    const drive_link::Outcome probed = drive_link::openAndProbeDrive(
        call.link, frontEnd, firmware,
        firmware ? QString()
                 : frontEnd.translate(" Note: this program doesn't support KMR-10 model."));
    if (!probed.succeeded()) {
        return {
            command_line::exitCodeOf(probed), "failed: " + frontEnd.report.lastMessage(), {}, {}};
    }
    const int frames = call.parser.value(kFramesOption).toInt();
    if (call.parser.isSet(kSweepOption)) {
        return sweep(call.link, frames);
    }
    const SettingFigures measured = measureSetting(call.link, call.link.settings(), frames);
    const int exitCode = exitCodeOf(measured);
    SubcommandResult result{
        exitCode,
        QString("%1%2 frames: %3 frames/s, %4 ms/frame, %5 CRC failures, %6 link losses; a "
                "%7-packet flash: %8 s on the link")
            .arg(exitCode == kExitDone ? "" : "failed: ")
            .arg(measured.runs.frames)
            .arg(measured.runs.framesPerSecond(), 0, 'f', 1)
            .arg(measured.runs.msPerFrame(), 0, 'f', 3)
            .arg(measured.runs.crcFailures + measured.single.crcFailures)
            .arg(std::max(measured.runs.linkLosses, measured.single.linkLosses))
            .arg(kReferenceFlashPackets)
            .arg(measured.flashSeconds, 0, 'f', 0),
        {},
        {}};
    result.details = figuresObject(measured);
    return result;
}
}  // namespace

Subcommand linkTestSubcommand() {
    return {"link-test",
            nullptr,
            "connect, send harmless frames, print the link's speed and errors",
            linkTest,
            {kFramesOption, kSweepOption},
            framesRefusal};
}

}  // namespace command_line
