#include "settings_transfer.h"

#include <functional>
#include <vector>

#include "drive_link.h"
#include "frame_run.h"
#include "link_error_report.h"
#include "morvane_front_end.h"
#include "settings_document.h"

namespace config_tool {

using drive_link::Failure;
using drive_link::FrameRun;
using drive_link::Link;
using drive_link::linkOutcome;
using drive_link::MessageKind;
using drive_link::Outcome;

namespace {
constexpr int kMissingParamValue = 555;

// A file's text in a message: short, and as plain text in the message's markup.
QString quotedText(const QString& text) {
    constexpr int kShownLength = 40;
    const QString shown = text.size() > kShownLength ? text.left(kShownLength) + "..." : text;
    return QString(shown).replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
}

// Parameter 80 first, then the axis settings: the order on the wire and in the file.
void forEachParam(const DriveSettings& settings,
                  const std::function<void(uint16_t number, uint16_t content)>& take) {
    take(kSettingsFlagsParam, settings.flags);
    for (size_t i = 0; i < axisSettings().size(); ++i) {
        take(axisSettings()[i].number, uint16_t(settings.contents[i]));
    }
}

DriveSettings readSettings(const std::function<int(uint16_t number)>& read) {
    DriveSettings settings;
    settings.flags = uint16_t(read(kSettingsFlagsParam));
    for (size_t i = 0; i < axisSettings().size(); ++i) {
        settings.contents[i] = read(axisSettings()[i].number);
    }
    return settings;
}

// Reads every setting as the drive holds it and reports the link.
Outcome readSettingsFromDrive(Link& link, MorvaneFrontEnd& frontEnd, DriveSettings& read) {
    bool error = false;
    // One run: every read is sent before any answer is looked at.
    std::vector<uint16_t> contents(1 + axisSettings().size());
    FrameRun run(link);
    size_t next = 0;
    readSettings([&](uint16_t number) {
        run.addGetParam(number, error, contents[next++]);
        return 0;
    });
    link.run(run);
    next = 0;
    read = readSettings([&](uint16_t) { return int(contents[next++]); });
    return linkOutcome(link, frontEnd, error);
}
}  // namespace

Outcome validSettings(MorvaneFrontEnd& frontEnd, const DriveSettings& settings) {
    if (currentsAreValid(settings)) {
        return Outcome::done();
    }
    frontEnd.showMessage(MessageKind::Warning, "Settings error",
                         frontEnd.translate("<i>Continuous current</i> can't be greater than "
                                            "<i>peak current</i>.<br>Correct your settings."),
                         Failure::DriveFailed);
    return Outcome::failed(Failure::DriveFailed);
}

Outcome exportSettingsToDrive(Link& link, MorvaneFrontEnd& frontEnd) {
    const DriveSettings settings = frontEnd.settings();
    const Outcome valid = validSettings(frontEnd, settings);
    if (!valid.succeeded()) {
        return valid;
    }
    bool error = false;
    FrameRun run(link);
    forEachParam(settings, [&](uint16_t number, uint16_t content) {
        run.addSetParam(number, content, error);
    });
    link.run(run);
    return linkOutcome(link, frontEnd, error);
}

Outcome exportSettingsToText(MorvaneFrontEnd& frontEnd, QByteArray& text) {
    const DriveSettings settings = frontEnd.settings();
    const Outcome valid = validSettings(frontEnd, settings);
    if (valid.succeeded()) {
        text = settingsFileText(settings);
    }
    return valid;
}

QByteArray settingsFileText(const DriveSettings& settings) {
    std::vector<FileParam> params;
    forEachParam(settings, [&](uint16_t number, uint16_t content) {
        params.push_back({number, content});
    });
    return writeSettingsText(params);
}

Outcome importSettingsFromDrive(Link& link, MorvaneFrontEnd& frontEnd) {
    DriveSettings settings;
    const Outcome read = readSettingsFromDrive(link, frontEnd, settings);
    if (read.succeeded()) {
        frontEnd.showSettings(settings);
        frontEnd.driveHolds(settings);
    }
    return read;
}

QString warningMessage(const SettingsWarning& warning, const QString& translated) {
    const QStringList& a = warning.arguments;
    switch (a.size()) {
        case 2:
            return translated.arg(a[0], a[1]);
        case 4:
            return translated.arg(a[0], a[1], a[2], a[3]);
        default:
            return translated;
    }
}

SettingsFileLoad loadSettingsText(const QByteArray& text) {
    static const std::vector<uint16_t> wanted = [] {
        std::vector<uint16_t> numbers;
        forEachParam(DriveSettings{},
                     [&](uint16_t number, uint16_t) { numbers.push_back(number); });
        return numbers;
    }();
    SettingsFileLoad load;
    SettingsText read;
    if (!parseSettingsText(text, wanted, read)) {
        load.refusal = "File read failed";
        return load;
    }
    if (read.rootName != "SetupFRX") {
        load.refusal = "Not a Ferrox settings file";
        return load;
    }
    const bool ours = read.version == kSettingsFileVersion;
    if (!ours) {
        load.warnings.push_back(
            {"Unsupported version of Ferrox settings file. Upgrade Morvane.", {}});
    }
    size_t index = 0;
    load.settings = readSettings([&](uint16_t number) {
        const std::optional<QString>& value = read.values[index];
        const ContentRange range =
            index == 0 ? ContentRange{0, 0xFFFF} : contentRange(axisSettings()[index - 1]);
        ++index;
        if (!value) {
            load.warnings.push_back({"Error in config file", {}});
            return kMissingParamValue;
        }
        if (!ours) {
            return wholeNumberOr0(*value);
        }
        const std::optional<int> content = decimalDigitsValue(*value);
        if (content && *content >= range.least && *content <= range.most) {
            return *content;
        }
        load.warnings.push_back({"%1 holds \"%2\", not a whole decimal number from %3 to %4",
                                 {QString("Param%1").arg(number), quotedText(*value),
                                  QString::number(range.least), QString::number(range.most)}});
        return wholeNumberOr0(*value);
    });
    for (size_t i = 0; ours && i < read.strays.size(); ++i) {
        const SettingsText::Stray& stray = read.strays[i];
        load.warnings.push_back({stray.duplicate
                                     ? "%1 appears more than once: the later \"%2\" is not loaded"
                                     : "%1 names no setting: its \"%2\" is not loaded",
                                 {quotedText(stray.element), quotedText(stray.value)}});
    }
    return load;
}

ReadBackOutcome checkSettingsOnDrive(Link& link, MorvaneFrontEnd& frontEnd,
                                     const DriveSettings& sent) {
    DriveSettings held;
    const Outcome read = readSettingsFromDrive(link, frontEnd, held);
    if (!read.succeeded()) {
        return {read, {}};
    }
    // The drive's values as they are, but for the bits of parameter 80 that are no setting.
    held.flags = asTheFormHolds(held).flags;
    std::vector<uint16_t> found;
    forEachParam(held, [&](uint16_t, uint16_t content) { found.push_back(content); });
    QStringList differences;
    size_t index = 0;
    forEachParam(sent, [&](uint16_t number, uint16_t content) {
        const uint16_t value = found[index++];
        if (value != content) {
            differences
                << QString("parameter %1 sent %2, found %3").arg(number).arg(content).arg(value);
            frontEnd.showMessage(MessageKind::Critical, "Read-back", differences.last(),
                                 Failure::DriveFailed);
        }
    });
    return {differences.isEmpty() ? Outcome::done() : Outcome::failed(Failure::DriveFailed),
            differences};
}

}  // namespace config_tool
