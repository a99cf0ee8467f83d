// The marks of pending changes and the close question, through a random run on the simulated
// drive: edits, back to the drive's value, Apply, Save, Open, Connect again, a lost link.
#include <gtest/gtest.h>

#include <QLabel>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <random>

#include "drive_link.h"
#include "message_box_watcher.h"
#include "morvane.h"
#include "scripted_file_prompt.h"
#include "settings_comparison.h"
#include "settings_form.h"
#include "sim_fixture.h"

using namespace config_tool;

namespace {
#ifdef KMR_SLOWED_BY_SANITIZERS
constexpr int kOperations = 1500;
#else
constexpr int kOperations = 10000;
#endif

bool same(const DriveSettings& a, const DriveSettings& b) {
    return differingLines(a, b).empty();
}

// The lines and tabs marked wrongly against what the drive's parameter store holds. A caption is
// the label of the line's caption beside the field, or the check box itself.
std::string wrongMarks(Morvane& window, const drive_sim::FerroxFirmware& firmware) {
    DriveSettings drive{firmware.param(kSettingsFlagsParam), {}};
    for (size_t i = 0; i < drive.contents.size(); ++i) {
        drive.contents[i] = firmware.param(axisSettings()[i].number);
    }
    drive = asTheFormHolds(drive);
    const DriveSettings form = settingsFromForm(window.ui);
    std::string wrong;
    bool tabs[2] = {false, false};
    for (const SettingLine& line : settingLines()) {
        auto* caption = window.findChild<QWidget*>(QString::fromStdString(line.formField));
        for (QLabel* label : caption->parentWidget()->findChildren<QLabel*>()) {
            caption = label->text() == QString::fromStdString(line.caption) ? label : caption;
        }
        const bool differs = window.connected && lineDiffers(line, drive, form);
        const std::string tip = differs ? "drive holds " + valueText(line, drive) : "drive holds";
        tabs[line.axis] |= differs;
        if (caption->font().bold() != differs ||
            caption->toolTip().contains(QString::fromStdString(tip)) != differs) {
            wrong += lineName(line) + "; ";
        }
    }
    for (int axis : {0, 1}) {
        wrong +=
            window.ui.axisTabs->tabBar()->tabTextColor(axis).isValid() != tabs[axis] ? "tab" : "";
    }
    return wrong;
}
}  // namespace

TEST(PendingMarks, FollowFormAndDriveAndClosingAsksOnlyAboutAFormKeptNowhere) {
    FerroxBench bench = installFerroxDrive();
    Morvane window;
    window.show();
    MessageBoxWatcher watcher;
    QTemporaryDir dir;
    ScriptedFilePrompt prompt;
    window.askFileName = prompt.prompt();
    std::mt19937 random(2112);
    auto below = [&random](int count) { return int(random() % unsigned(count)); };
    // Where the form's settings are kept: start values, the drive as last read or applied, the
    // file last saved or opened.
    std::vector<DriveSettings> kept(3, settingsFromForm(window.ui));
    for (int step = 0; step < kOperations; ++step) {
        const int choice = below(100);
        const SettingLine& line = settingLines()[size_t(below(int(settingLines().size())))];
        window.ui.statusbar->clearMessage();
        if (choice < 88) {  // an edit of one field; every 7th takes it back to the drive's value
            DriveSettings edited = settingsFromForm(window.ui);
            const bool back = choice % 7 == 0;
            const auto i = size_t(line.settingIndex);
            if (line.settingIndex < 0) {
                edited.flags ^=
                    back ? (edited.flags ^ kept[1].flags) & line.flagMask : line.flagMask;
            } else {
                edited.contents[i] = back ? kept[1].contents[i] : below(axisSettings()[i].most + 1);
            }
            showSettingsInForm(window.ui, edited);
        } else if (choice < 93) {
            prompt.answer({dir.filePath(QString::number(below(4)) + ".frx")});
            (choice < 90 ? window.ui.Save_configuration : window.ui.Open_configuration)->trigger();
        } else {  // Apply (slow: it stores the settings), Connect, or a link lost during an Apply
            const bool lose = choice >= 97;
            bench.adapter.faults().stopAnsweringAfterFrames = lose ? 0 : -1;
            (choice == 93 || lose ? window.ui.applyButton : window.ui.connectButton)->click();
        }
        const QString status = window.ui.statusbar->currentMessage();
        if (status == "Parameters set" || status.startsWith("Conneced")) {
            kept[1] = settingsFromForm(window.ui);
        }
        if (status == "Configuration saved" || status == "Configuration loaded") {
            kept[2] = settingsFromForm(window.ui);
        }
        ASSERT_EQ(wrongMarks(window, bench.firmware), "") << "step " << step << ", " << choice;
        const DriveSettings form = settingsFromForm(window.ui);
        ASSERT_EQ(window.keptSettings.keep(form),
                  same(form, kept[0]) || same(form, kept[1]) || same(form, kept[2]));
    }
    // The question itself, once per Quit: No keeps the window and the link, Yes closes.
    bench.adapter.faults().stopAnsweringAfterFrames = -1;
    window.ui.connectButton->click();
    window.ui.peakcurrM2->setValue(window.ui.peakcurrM2->value() ^ 1);
    watcher.clear();
    for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        watcher.answerWith(answer);
        window.ui.Quit->trigger();
        EXPECT_EQ(window.isVisible(), answer == QMessageBox::No);
        EXPECT_EQ(drive_link::linkState.linkOpen, answer == QMessageBox::No);
    }
    ASSERT_EQ(watcher.boxes().size(), 2u);
    EXPECT_EQ(watcher.boxes().back().title, "Unsaved changes");
}
