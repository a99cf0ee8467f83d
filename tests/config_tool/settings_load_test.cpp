// Opening settings files: round trips through the menu actions, every failure of the load, and
// the lenient lookup of parameters.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QStatusBar>
#include <stdexcept>

#include "morvane_test_support.h"
#include "scripted_file_prompt.h"
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
    ui.contcurrM1->setValue(3400);
    ui.peakcurrM1->setValue(9800);
    ui.ferrorM1->setValue(16383);
    ui.inductanceM1->setValue(0.05);
    ui.resistanceM1->setValue(49.95);
    ui.multM1->setValue(20);
    ui.gainPM1->setValue(32767);
    ui.gainIM1->setValue(0);
    ui.gainDM1->setValue(1250);
    ui.contcurrM2->setValue(0);
    ui.peakcurrM2->setValue(20000);
    ui.ferrorM2->setValue(1);
    ui.inductanceM2->setValue(33.33);
    ui.resistanceM2->setValue(0.07);
    ui.multM2->setValue(7);
    ui.gainPM2->setValue(1);
    ui.gainIM2->setValue(32767);
    ui.gainDM2->setValue(9);
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

TEST(OpenSettings, SavedFileLoadsBackIntoExactlyTheSameForm) {
    ScratchDir scratch;
    Morvane source;
    fillForm(source);
    MessageBoxWatcher watcher;
    saveSettingsAs(source, scratch.path("round.frx"));
    ASSERT_TRUE(watcher.boxes().empty());

    Morvane target;
    ASSERT_NE(formValues(target), formValues(source));
    openSettings(target, scratch.path("round.frx"));
    EXPECT_TRUE(watcher.boxes().empty());
    EXPECT_EQ(formValues(target), formValues(source));
    EXPECT_EQ(target.ui.statusbar->currentMessage(), "Configuration loaded");
    EXPECT_FALSE(target.connected);  // a file never touches the drive or the state
}

TEST(OpenSettings, CancelledDialogChangesNothing) {
    Morvane window;
    const QStringList before = formValues(window);
    MessageBoxWatcher watcher;
    ScriptedFilePrompt prompt;
    prompt.answer({""});
    window.askFileName = prompt.prompt();
    window.ui.Open_configuration->trigger();
    ASSERT_EQ(prompt.asked().size(), 1u);
    EXPECT_EQ(prompt.asked().front().caption, "Open File");
    EXPECT_EQ(prompt.asked().front().startName, "Ferroxsettings.frx");
    EXPECT_EQ(prompt.asked().front().filter, "Ferrox files (*.frx)");
    EXPECT_FALSE(prompt.asked().front().forSaving);
    EXPECT_TRUE(watcher.boxes().empty());
    EXPECT_EQ(formValues(window), before);
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "");
}

TEST(OpenSettings, EachFailureHasItsMessageAndLeavesTheForm) {
    const struct {
        const char* name;
        const char* content;  // nullptr: no such file
        QString box;
    } cases[] = {
        {"absent.frx", nullptr, warning("File not found")},
        {"empty.frx", "", warning("File read failed")},
        {"text.frx", "P gain 500\n", warning("File read failed")},
        {"broken.frx", "<!DOCTYPE KMR_ML>\n<SetupFRX>\n <Param80 ", warning("File read failed")},
        {"other.frx",
         "<!DOCTYPE KMR_ML>\n<SetupRX>\n <Param410 Type=\"uint16\" Value=\"9\"/>\n</SetupRX>\n",
         warning("Not a Ferrox settings file")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir scratch;
        if (c.content) {
            writeFile(scratch.path(c.name), c.content);
        }
        Morvane window;
        const QStringList before = formValues(window);
        MessageBoxWatcher watcher;
        openSettings(window, scratch.path(c.name));
        EXPECT_EQ(describeBoxes(watcher), QStringList{c.box});
        EXPECT_EQ(formValues(window), before);
        EXPECT_EQ(window.ui.statusbar->currentMessage(), "");
    }
}

TEST(OpenSettings, OtherVersionOrNoVersionWarnsAndLoadsAllTheSame) {
    const QString params = param(410, 1500) + param(8300, 777);
    const struct {
        const char* name;
        QString version;
    } files[] = {{"v101.frx", " <FileSpecs Version=\"101\"/>\n"},
                 {"nospecs.frx", ""},
                 {"wordy.frx", " <FileSpecs Version=\"one\"/>\n"}};
    for (const auto& file : files) {
        const char* name = file.name;
        SCOPED_TRACE(name);
        ScratchDir scratch;
        writeFile(scratch.path(name), settingsText(file.version, params));
        Morvane window;
        MessageBoxWatcher watcher;
        openSettings(window, scratch.path(name));
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
    for (int i = 0; i < 19; ++i) {
        nineteen << kMissingParam;
    }
    EXPECT_EQ(describeBoxes(watcher), nineteen);

    const Ui::MainWindowForm& ui = window.ui;
    for (QSpinBox* box :
         {ui.contcurrM1, ui.peakcurrM1, ui.ferrorM1, ui.gainPM1, ui.gainIM1, ui.gainDM1,
          ui.contcurrM2, ui.peakcurrM2, ui.ferrorM2, ui.gainPM2, ui.gainIM2, ui.gainDM2}) {
        EXPECT_EQ(box->value(), 555) << box->objectName().toStdString();
    }
    EXPECT_EQ(ui.multM1->value(), 20);
    EXPECT_EQ(ui.multM2->value(), 20);
    EXPECT_DOUBLE_EQ(ui.inductanceM1->value(), 3.70);
    EXPECT_DOUBLE_EQ(ui.inductanceM2->value(), 3.70);
    EXPECT_DOUBLE_EQ(ui.resistanceM1->value(), 5.55);
    EXPECT_DOUBLE_EQ(ui.resistanceM2->value(), 5.55);
    EXPECT_TRUE(ui.invertM1->isChecked());
    EXPECT_TRUE(ui.antiditherM1->isChecked());
    for (QCheckBox* box :
         {ui.encoderfailM1, ui.invertM2, ui.encoderfailM2, ui.antiditherM2, ui.slaveAxisM2}) {
        EXPECT_FALSE(box->isChecked()) << box->objectName().toStdString();
    }
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "Configuration loaded");
}

TEST(OpenSettings, ParametersAreFoundWhereverAndInWhateverOrderTheyStand) {
    ScratchDir scratch;
    // Saved by us, then reversed, nested one level down, and sprinkled with foreign elements.
    Morvane source;
    fillForm(source);
    MessageBoxWatcher watcher;
    saveSettingsAs(source, scratch.path("saved.frx"));
    const QStringList lines = QString::fromUtf8(readFile(scratch.path("saved.frx"))).split('\n');
    ASSERT_EQ(lines.size(), 24);  // 23 lines and the empty rest after the last line feed
    QString shuffled;
    for (int i = 21; i >= 3; --i) {
        shuffled += (i % 2 ? "  <Group>\n  " + lines[i] + "\n  </Group>\n" : lines[i] + "\n");
    }
    writeFile(scratch.path("shuffled.frx"),
              settingsText(" <Notes Text=\"bench 3\"/>\n" + kSpecs, shuffled));

    Morvane target;
    openSettings(target, scratch.path("shuffled.frx"));
    EXPECT_TRUE(watcher.boxes().empty());
    EXPECT_EQ(formValues(target), formValues(source));
}

TEST(OpenSettings, FirstOfTwoElementsWinsAndOddValuesAreRead) {
    ScratchDir scratch;
    writeFile(scratch.path("odd.frx"),
              settingsText(kSpecs, param(410, 1800) + param(410, 900) +
                                       " <Param411 Type=\"uint16\" Value=\"lots\"/>\n" +
                                       " <Param20 Type=\"uint16\"/>\n" + param(200, 70000)));
    Morvane window;
    MessageBoxWatcher watcher;
    openSettings(window, scratch.path("odd.frx"));
    EXPECT_EQ(window.ui.contcurrM1->value(), 1800);
    EXPECT_EQ(window.ui.peakcurrM1->value(), 0);   // no number
    EXPECT_EQ(window.ui.ferrorM1->value(), 1);     // no value: 0, clamped to the minimum
    EXPECT_EQ(window.ui.gainPM1->value(), 32767);  // not cut to 16 bits, clamped by the field
    EXPECT_EQ(describeBoxes(watcher).size(), 19 - 4);
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
