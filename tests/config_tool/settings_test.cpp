// The settings between the form's widgets and parameter contents, and the settings file's name.
#include <gtest/gtest.h>

#include <QCheckBox>

#include "morvane.h"
#include "settings_document.h"
#include "settings_form.h"

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
