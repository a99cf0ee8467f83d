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

// Which element of a file gives a parameter its value: the first named exactly "Param<number>"
// below the root in document order, at any depth, markup from an entity included; not a prefixed
// name, a leading zero, a comment or character data.
TEST(SettingsFile, TheFirstElementOfTheNameAnywhereBelowTheRootCounts) {
    const QByteArray head =
        "<!DOCTYPE KMR_ML [<!ENTITY e \"<Param80 Value='7'/>\">]>\n"
        "<SetupFRX xmlns:x=\"urn:x\"><FileSpecs Version=\"100\"/>";
    const struct {
        const char* body;
        int flags;  // parameter 80; -1 when the file lacks it
    } files[] = {
        {"<A><Param80 Value=\"1\"/></A><Param80 Value=\"2\"/>", 1},
        {"<Param80 Value=\"3\"><Param80 Value=\"4\"/></Param80>", 3},
        {"&e;<Param80 Value=\"2\"/>", 7},
        {"<x:Param80 Value=\"5\"/><Param80 x:Value=\"6\" Value=\"8\"/>", 8},
        {"<Param080 Value=\"9\"/><!-- <Param80 Value=\"1\"/> --><![CDATA[<Param80/>]]>", -1},
        {"<Param80 Value=\" 12 \"/>", 12},
        {"<Param80 Value=\"0x10\"/>", 0},
    };
    for (const auto& file : files) {
        const SettingsFileLoad load = loadSettingsText(head + file.body + "</SetupFRX>");
        ASSERT_EQ(load.refusal, nullptr) << file.body;
        const size_t missing = axisSettings().size() + (file.flags < 0 ? 1 : 0);
        EXPECT_EQ(load.warnings.size(), missing) << file.body;
        EXPECT_EQ(load.settings.flags, uint16_t(file.flags < 0 ? 555 : file.flags)) << file.body;
    }
}
