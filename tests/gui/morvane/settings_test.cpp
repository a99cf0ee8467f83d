// The settings between the form's widgets and parameter contents, and the settings file's name.
#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QSpinBox>

#include "morvane.h"
#include "settings_comparison.h"
#include "settings_document.h"
#include "settings_form.h"
#include "settings_transfer.h"

using namespace config_tool;

// Every two-decimal value of the motor constants, as the user types it, goes through single
// precision: 0.41 mH is 61.5 there and rounds to 62, where double precision would give 61.
TEST(MotorConstants, EveryHundredthSurvivesTheWayThroughTheDriveInSinglePrecision) {
    Morvane window;
    const size_t inductance = 3;      // axis 1
    const size_t resistance = 9 + 4;  // axis 2
    for (int hundredths = 5; hundredths <= 5000; ++hundredths) {
        SCOPED_TRACE(hundredths);
        window.ui.inductanceM1->setValue(hundredths / 100.0);
        window.ui.resistanceM2->setValue(hundredths / 100.0);
        DriveSettings settings = settingsFromForm(window.ui);
        ASSERT_EQ(settings.contents[inductance], (3 * hundredths + 1) / 2);  // 1.5 x, half up
        ASSERT_EQ(settings.contents[resistance], hundredths);
        window.ui.inductanceM1->setValue(1);
        window.ui.resistanceM2->setValue(1);
        showSettingsInForm(window.ui, settings);
        const QString typed = QString::number(hundredths / 100.0, 'f', 2);
        ASSERT_EQ(window.ui.inductanceM1->text(), typed);
        ASSERT_EQ(window.ui.resistanceM2->text(), typed);
    }
}

TEST(SettingsForm, EachCheckBoxOwnsOneBitAndOnlyAFullTickCounts) {
    Morvane window;
    DriveSettings settings = settingsFromForm(window.ui);
    settings.flags = 0xC61C;
    showSettingsInForm(window.ui, settings);
    for (QCheckBox* box : window.findChildren<QCheckBox*>()) {
        EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
    }
    window.ui.invertM1->setTristate(true);
    window.ui.invertM1->setCheckState(Qt::PartiallyChecked);
    EXPECT_EQ(settingsFromForm(window.ui).flags, 0xC61C & ~0x0008);
    window.ui.invertM2->setChecked(false);
    EXPECT_EQ(settingsFromForm(window.ui).flags, 0xC61C & ~0x0018);
}

// Each compared line is one field of the form: a step of that field alone differs on that line
// only, and the line's value reads as the field shows it.
TEST(SettingsComparison, EachLineIsOneFieldOfTheForm) {
    Morvane window;
    ASSERT_EQ(settingLines().size(), size_t(kAxisSettingCount) + kSettingsFlags.size());
    const DriveSettings before = settingsFromForm(window.ui);
    for (const SettingLine& line : settingLines()) {
        SCOPED_TRACE(line.formField);
        QWidget* field = window.findChild<QWidget*>(QString::fromStdString(line.formField));
        ASSERT_NE(field, nullptr);
        auto* box = qobject_cast<QCheckBox*>(field);
        auto* spin = qobject_cast<QAbstractSpinBox*>(field);
        if (box != nullptr) {
            box->toggle();
        } else {
            spin->stepUp();
        }
        const DriveSettings after = settingsFromForm(window.ui);
        const std::vector<SettingLine> differing = differingLines(before, after);
        ASSERT_EQ(differing.size(), 1u);
        EXPECT_EQ(differing[0].formField, line.formField);
        const QString shown = box != nullptr ? (box->isChecked() ? "on" : "off") : spin->text();
        EXPECT_EQ(valueText(line, after), shown.toStdString());
        showSettingsInForm(window.ui, before);
    }
    EXPECT_EQ(lineName(settingLines().back()),
              "Axis 2 is a parallel (slave axis) to Axis 1, axis 2");
}

TEST(SettingsFile, SuffixOnlyWhenMissing) {
    const struct {
        const char* typed;
        const char* saved;
    } names[] = {
        {"a", "a.frx"}, {"a.frx", "a.frx"}, {"a.FRX", "a.FRX"}, {"a.frx.bak", "a.frx.bak.frx"}};
    for (const auto& name : names) {
        EXPECT_EQ(withSettingsSuffix(name.typed), name.saved) << name.typed;
    }
}

namespace {
// A saved file with one text replaced, loaded as Open loads it: its warnings' messages and
// parameters 80 and 200 (P gain, axis 1).
struct Loaded {
    QStringList warnings;
    int flags, gainP;
};
Loaded loadedWith(const QByteArray& from, const QByteArray& to) {
    DriveSettings settings;
    settings.flags = 8;
    settings.contents.fill(100);
    settings.contents[kGainPIndex] = 650;
    settings.contents[5] = settings.contents[5 + kSettingsPerAxis] = 1;  // step multipliers
    const SettingsFileLoad load = loadSettingsText(settingsFileText(settings).replace(from, to));
    EXPECT_EQ(load.refusal, nullptr) << to.toStdString();
    Loaded loaded{{}, load.settings.flags, load.settings.contents[kGainPIndex]};
    for (const SettingsWarning& warning : load.warnings) {
        loaded.warnings << warningMessage(warning, warning.text);
    }
    return loaded;
}
}  // namespace

// A value is taken only as the writer writes it, decimal digits within the field's contents;
// any other text is named with its parameter, and the file then loads only with the warning.
TEST(SettingsFile, AValueOtherThanTheWriterWritesIsNamed) {
    const struct {
        const char* text;
        int gainP;  // -1: not a content, warned about
    } values[] = {
        {"650", 650}, {"0", 0},           {"32767", 32767}, {"0650", 650}, {"&#54;50", 650},
        {"abc", -1},  {"", -1},           {"650.7", -1},    {"1e3", -1},   {"6 50", -1},
        {"-1", -1},   {"0x28a", -1},      {"65536", -1},    {"32768", -1}, {" 650", -1},
        {"+650", -1}, {"4294967946", -1},
    };
    for (const auto& value : values) {
        SCOPED_TRACE(value.text);
        const Loaded loaded =
            loadedWith("Param200 Type=\"uint16\" Value=\"650\"",
                       QByteArray("Param200 Type=\"uint16\" Value=\"") + value.text + "\"");
        if (value.gainP >= 0) {
            EXPECT_EQ(loaded.warnings, QStringList());
            EXPECT_EQ(loaded.gainP, value.gainP);
        } else {
            ASSERT_EQ(loaded.warnings.size(), 1);
            EXPECT_TRUE(loaded.warnings[0].startsWith("Param200 holds \""));
            EXPECT_TRUE(
                loaded.warnings[0].endsWith("\", not a whole decimal number from 0 to 32767"));
        }
    }
    EXPECT_EQ(loadedWith("\"650\"", "\"abc\"").warnings,
              QStringList{"Param200 holds \"abc\", not a whole decimal number from 0 to 32767"});
}

// Each parameter's range is its field's: the motor constants' in contents, the flags' all 16
// bits. Elements twice or naming no setting are named; other elements do not matter, nor does
// where the parameters are. A file of another version reads as it always did.
TEST(SettingsFile, RangesDuplicatesAndElementsTheLoaderCannotPlace) {
    const QByteArray end = "</SetupFRX>";
    const struct {
        QByteArray from, to;
        QStringList warnings;
        int flags, gainP;
    } files[] = {
        {"\"8\"", "\"65535\"", {}, 65535, 650},
        {"Param401 Type=\"uint16\" Value=\"100\"", "Param401 Value=\"8\"", {}, 8, 650},
        {"Param401 Type=\"uint16\" Value=\"100\"",
         "Param401 Value=\"7\"",
         {"Param401 holds \"7\", not a whole decimal number from 8 to 7500"},
         8,
         650},
        {"Param402 Type=\"uint16\" Value=\"100\"",
         "Param402 Value=\"5001\"",
         {"Param402 holds \"5001\", not a whole decimal number from 5 to 5000"},
         8,
         650},
        {"Param20 Type=\"uint16\" Value=\"100\"",
         "Param20 Value=\"0\"",
         {"Param20 holds \"0\", not a whole decimal number from 1 to 16383"},
         8,
         650},
        {end,
         "<Param200 Value=\"700\"/>" + end,
         {"Param200 appears more than once: the later \"700\" is not loaded"},
         8,
         650},
        {" <Param80",
         "<A><Param200 Value=\"1\"/></A><Param80",
         {"Param200 appears more than once: the later \"650\" is not loaded"},
         8,
         1},
        {end,
         "<FileSpecs Version=\"100\"/>" + end,
         {"FileSpecs appears more than once: the later \"100\" is not loaded"},
         8,
         650},
        {end,
         "<Param999 Value=\"5\"/><Param0200 Value=\"&lt;b&gt;\"/>" + end,
         {"Param999 names no setting: its \"5\" is not loaded",
          "Param0200 names no setting: its \"&lt;b&gt;\" is not loaded"},
         8,
         650},
        {end,
         "<x:Param200 xmlns:x=\"urn:x\" Value=\"5\"/>" + end,
         {"x:Param200 names no setting: its \"5\" is not loaded"},
         8,
         650},
        {"<SetupFRX>",
         "<SetupFRX><Notes Text=\"x\"/><Group><!-- <Param1/> --><![CDATA[<Param2/>]]></Group>",
         {},
         8,
         650},
        {"\"650\"",
         "\"" + QByteArray(60, '7') + "\"",
         {"Param200 holds \"" + QString(40, '7') +
          "...\", not a whole decimal number from 0 to 32767"},
         8,
         0},
        {"Version=\"100\"/>\n <Param80 Type=\"uint16\" Value=\"8\"",
         "Version=\"101\"/> <Param80 Type=\"uint16\" Value=\" 12 \"",
         {"Unsupported version of Ferrox settings file. Upgrade Morvane."},
         12,
         650},
        {"Version=\"100\"/>\n <Param80 Type=\"uint16\" Value=\"8\"",
         "Version=\"101\"/> <Param80 Type=\"uint16\" Value=\"abc\"",
         {"Unsupported version of Ferrox settings file. Upgrade Morvane."},
         0,
         650},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.to.toStdString());
        const Loaded loaded = loadedWith(file.from, file.to);
        EXPECT_EQ(loaded.warnings, file.warnings);
        EXPECT_EQ(loaded.flags, file.flags);
        EXPECT_EQ(loaded.gainP, file.gainP);
    }
}
