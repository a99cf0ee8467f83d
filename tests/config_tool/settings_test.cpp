// The settings between the form's widgets and parameter contents, and the settings file on disk.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>

#include "morvane.h"
#include "settings_document.h"
#include "settings_form.h"

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

TEST(SettingsForm, EachCheckBoxOwnsOneBitOnlyAFullTickCountsAndContentsAreClamped) {
    Morvane window;
    DriveSettings settings = settingsFromForm(window.ui);
    settings.flags = 0xC61C;
    settings.contents[0] = 20000;  // above the continuous current's maximum
    settings.contents[2] = -5;     // below the following error's minimum
    showSettingsInForm(window.ui, settings);
    for (QCheckBox* box : window.findChildren<QCheckBox*>()) {
        EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
    }
    EXPECT_EQ(window.ui.contcurrM1->value(), 11000);
    EXPECT_EQ(window.ui.ferrorM1->value(), 1);
    window.ui.invertM1->setTristate(true);
    window.ui.invertM1->setCheckState(Qt::PartiallyChecked);
    EXPECT_EQ(settingsFromForm(window.ui).flags, 0xC61C & ~0x0008);
    window.ui.invertM2->setChecked(false);
    EXPECT_EQ(settingsFromForm(window.ui).flags, 0xC61C & ~0x0018);
}

TEST(SettingsFile, SuffixOnlyWhenMissingAndAFailedWriteLeavesTheOldFile) {
    for (const char* name : {"a", "a.frx", "a.FRX", "a.frx.bak"}) {
        const QString suffixed = withSettingsSuffix(name);
        EXPECT_EQ(suffixed, QString(name).endsWith(".frx", Qt::CaseInsensitive)
                                ? QString(name)
                                : QString(name) + ".frx");
    }
    QTemporaryDir dir;
    const QString path = dir.filePath("kept.frx");
    ASSERT_TRUE(writeFileAtomically(path, "old"));
    {
        // The file system takes 200 bytes of the new text and refuses the rest.
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved;
        limited.rlim_cur = 200;
        setrlimit(RLIMIT_FSIZE, &limited);
        EXPECT_FALSE(writeFileAtomically(path, QByteArray(900, 'x')));
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.frx"});
}
