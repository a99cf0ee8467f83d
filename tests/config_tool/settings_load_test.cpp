// Opening settings files: round trips through the menu actions, every failure of the load, and
// the lenient lookup of parameters.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QCheckBox>
#include <QFile>
#include <QSpinBox>
#include <QStatusBar>
#include <functional>
#include <stdexcept>

#include "morvane_test_support.h"
#include "settings_document.h"

namespace {
QString warning(const QString& text) {
    return "warning|Error|" + text;
}
const QString kVersionWarning =
    warning("Unsupported version of Ferrox settings file. Upgrade Morvane.");
const QString kMissingParam = warning("Error in config file");

// A form with every field away from its start value.
void fillForm(Morvane& window) {
    Ui::MainWindowForm& ui = window.ui;
    const std::pair<QSpinBox*, int> integers[] = {
        {ui.contcurrM1, 3400},  {ui.peakcurrM1, 9800}, {ui.ferrorM1, 16383}, {ui.multM1, 20},
        {ui.gainPM1, 32767},    {ui.gainIM1, 0},       {ui.gainDM1, 1250},   {ui.contcurrM2, 0},
        {ui.peakcurrM2, 20000}, {ui.ferrorM2, 1},      {ui.multM2, 7},       {ui.gainPM2, 1},
        {ui.gainIM2, 32767},    {ui.gainDM2, 9}};
    for (const auto& field : integers) {
        field.first->setValue(field.second);
    }
    ui.inductanceM1->setValue(0.05);
    ui.resistanceM1->setValue(49.95);
    ui.inductanceM2->setValue(33.33);
    ui.resistanceM2->setValue(0.07);
    for (QCheckBox* box : {ui.invertM1, ui.antiditherM1, ui.encoderfailM2, ui.slaveAxisM2}) {
        box->setChecked(true);
    }
}

QByteArray settingsText(const QString& fileSpecs, const QString& params) {
    return ("<!DOCTYPE KMR_ML>\n<SetupFRX>\n" + fileSpecs + params + "</SetupFRX>\n").toUtf8();
}
const QString kSpecs = " <FileSpecs Version=\"100\"/>\n";

QString param(int number, int value) {
    return QString(" <Param%1 Type=\"uint16\" Value=\"%2\"/>\n").arg(number).arg(value);
}
}  // namespace

TEST(OpenSettings, SavedFileLoadsBackIntoTheSameFormHoweverItsElementsStand) {
    ScratchDir scratch;
    Morvane source;
    fillForm(source);
    MessageBoxWatcher watcher;
    saveSettingsAs(source, scratch.path("round.frx"));
    // The same lines reversed, every other one nested a level down, with a foreign element.
    const QStringList lines = QString::fromUtf8(readFile(scratch.path("round.frx"))).split('\n');
    ASSERT_EQ(lines.size(), 24);  // 23 lines and the empty rest after the last line feed
    QString shuffled;
    for (int i = 21; i >= 3; --i) {
        shuffled += (i % 2 ? "  <Group>\n  " + lines[i] + "\n  </Group>\n" : lines[i] + "\n");
    }
    writeFile(scratch.path("shuffled.frx"),
              settingsText(" <Notes Text=\"bench 3\"/>\n" + kSpecs, shuffled));

    for (const char* name : {"round.frx", "shuffled.frx"}) {
        SCOPED_TRACE(name);
        Morvane target;
        ASSERT_NE(formValues(target), formValues(source));
        openSettings(target, scratch.path(name));
        EXPECT_TRUE(watcher.boxes().empty());
        EXPECT_EQ(formValues(target), formValues(source));
        EXPECT_EQ(target.ui.statusbar->currentMessage(), "Configuration loaded");
        EXPECT_FALSE(target.connected);  // a file never touches the drive or the state
    }
}

// What no settings file can be is refused before it can cost memory, stack or time: each case
// ends with its message and the form as it was.
TEST(OpenSettings, EachFailureHasItsMessageAndLeavesTheForm) {
    const QString readFailed = warning("File read failed");
    const QByteArray valid = settingsText(kSpecs, param(410, 1500));
    QByteArray nested = valid;
    for (int i = 0; i < 100; ++i) {
        nested.replace("<Param410", "<G><Param410").replace("</SetupFRX>", "</G></SetupFRX>");
    }
    const QByteArray entity = "<!DOCTYPE KMR_ML [<!ENTITY e \"" + QByteArray(30000, 'x') +
                              "\">]>\n<SetupFRX>" + QByteArray("&e;").repeated(2000) +
                              "</SetupFRX>\n";
    const auto file = [](const QByteArray& content) {
        return [content](const ScratchDir& scratch) {
            writeFile(scratch.path("case.frx"), content);
            return scratch.path("case.frx");
        };
    };
    // A well-formed settings file, one byte too long with the comment that follows its root.
    QByteArray oversized = valid + "<!--";
    oversized += QByteArray(int(kSettingsFileSizeLimit) + 1 - oversized.size() - 4, ' ') + "-->\n";
    const struct {
        const char* name;
        std::function<QString(const ScratchDir&)> make;
        QString box;
    } cases[] = {
        {"absent", [](const ScratchDir& s) { return s.path("absent.frx"); },
         warning("File not found")},
        {"directory", [](const ScratchDir& s) { return s.root(); }, warning("File not found")},
        {"empty", file(""), readFailed},
        {"text", file("P gain 500\n"), readFailed},
        {"broken", file("<!DOCTYPE KMR_ML>\n<SetupFRX>\n <Param80 "), readFailed},
        {"duplicate attribute", file(QByteArray(valid).replace("Type=", "Value=\"1\" Type=")),
         readFailed},
        {"nested 100 deep", file(nested), readFailed},
        {"entity of 30000 used 2000 times", file(entity), readFailed},
        {"one byte over 64 KiB", file(oversized), readFailed},
        {"2 GiB sparse",
         [](const ScratchDir& s) {
             writeFile(s.path("huge.frx"), "");
             QFile(s.path("huge.frx")).resize(qint64(2) << 30);
             return s.path("huge.frx");
         },
         readFailed},
        {"FIFO",
         [](const ScratchDir& s) {
             EXPECT_EQ(mkfifo(QFile::encodeName(s.path("fifo.frx")).constData(), 0600), 0);
             return s.path("fifo.frx");
         },
         readFailed},
        {"device", [](const ScratchDir&) { return QString("/dev/zero"); }, readFailed},
        {"other root",
         file("<!DOCTYPE KMR_ML>\n<SetupRX>\n <Param410 Type=\"uint16\" "
              "Value=\"9\"/>\n</SetupRX>\n"),
         warning("Not a Ferrox settings file")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir scratch;
        const QString path = c.make(scratch);
        Morvane window;
        const QStringList before = formValues(window);
        MessageBoxWatcher watcher;
        openSettings(window, path);
        EXPECT_EQ(describeBoxes(watcher), QStringList{c.box});
        EXPECT_EQ(formValues(window), before);
        EXPECT_EQ(window.ui.statusbar->currentMessage(), "");
    }
}

TEST(OpenSettings, OtherVersionOrNoVersionWarnsAndLoadsAllTheSame) {
    const QString params = param(410, 1500) + param(8300, 777);
    for (const QString specs :
         {" <FileSpecs Version=\"101\"/>\n", "", " <FileSpecs Version=\"one\"/>\n"}) {
        SCOPED_TRACE(specs.toStdString());
        ScratchDir scratch;
        writeFile(scratch.path("settings.frx"), settingsText(specs, params));
        Morvane window;
        MessageBoxWatcher watcher;
        openSettings(window, scratch.path("settings.frx"));
        const QStringList boxes = describeBoxes(watcher);
        ASSERT_FALSE(boxes.isEmpty());
        EXPECT_EQ(boxes.first(), kVersionWarning);
        EXPECT_EQ(boxes.size(), 1 + 17);  // then the seventeen parameters it lacks
        EXPECT_EQ(window.ui.contcurrM1->value(), 1500);
        EXPECT_EQ(window.ui.gainPM2->value(), 777);
        EXPECT_EQ(window.ui.statusbar->currentMessage(), "Configuration loaded");
    }
}

TEST(OpenSettings, FileWithoutParametersGivesNineteenBoxesAndTheStandInValue) {
    ScratchDir scratch;
    writeFile(scratch.path("bare.frx"), settingsText(kSpecs, ""));
    Morvane window;
    MessageBoxWatcher watcher;
    openSettings(window, scratch.path("bare.frx"));
    QStringList nineteen;
    while (nineteen.size() < 19) {
        nineteen << kMissingParam;
    }
    EXPECT_EQ(describeBoxes(watcher), nineteen);

    // 555 in every field, clamped by it; as flags it ticks only the bits 0x0008 and 0x0200.
    EXPECT_EQ(formValues(window).join(' '),
              "antiditherM1=2 antiditherM2=0 contcurrM1=555 contcurrM2=555 encoderfailM1=0 "
              "encoderfailM2=0 ferrorM1=555 ferrorM2=555 gainDM1=555 gainDM2=555 gainIM1=555 "
              "gainIM2=555 gainPM1=555 gainPM2=555 inductanceM1=3.70 inductanceM2=3.70 invertM1=2 "
              "invertM2=0 multM1=20 multM2=20 peakcurrM1=555 peakcurrM2=555 resistanceM1=5.55 "
              "resistanceM2=5.55 slaveAxisM2=0");
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "Configuration loaded");
}

TEST(OpenSettings, FailureWhileInterpretingIsCaughtAndReported) {
    Morvane window;
    MessageBoxWatcher watcher;
    EXPECT_FALSE(guardSettingsLoad(&window, [] { throw std::runtime_error("bad document"); }));
    EXPECT_EQ(describeBoxes(watcher), QStringList{warning("File load failed")});
    watcher.clear();
    bool ran = false;
    EXPECT_TRUE(guardSettingsLoad(&window, [&] { ran = true; }));
    EXPECT_TRUE(ran);
    EXPECT_TRUE(watcher.boxes().empty());
}
