// The marks of pending changes and the close question through a random run on the simulated drive.
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
// The lines and tabs marked wrongly: a caption (the label with the line's caption beside its
// field, or the check box) is bold and names the drive's value exactly where the form differs.
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
        auto* caption = window.findChild<QWidget*>(line.formField.c_str());
        for (QLabel* label : caption->parentWidget()->findChildren<QLabel*>()) {
            caption = label->text() == line.caption.c_str() ? label : caption;
        }
        const bool differs = window.connected && lineDiffers(line, drive, form);
        const std::string tip = differs ? "drive holds " + valueText(line, drive) : "drive holds";
        tabs[line.axis] |= differs;
        const bool tipShown = caption->toolTip().contains(tip.c_str());
        wrong += caption->font().bold() != differs || tipShown != differs ? lineName(line) : "";
    }
    const QTabBar* bar = window.ui.axisTabs->tabBar();
    return wrong + (bar->tabTextColor(0).isValid() != tabs[0] ? "tab 1" : "") +
           (bar->tabTextColor(1).isValid() != tabs[1] ? "tab 2" : "");
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
    // Where the form's settings are kept: start values, the drive as last read or applied, the
    // file last saved or opened.
    std::vector<DriveSettings> kept(3, settingsFromForm(window.ui));
    for (int step = 0; step < KMR_MARKS_OPERATIONS; ++step) {
        const unsigned choice = random() % 100;
        const SettingLine& line = settingLines()[random() % settingLines().size()];
        window.ui.statusbar->clearMessage();
        if (choice < 88) {  // an edit of one field; every 7th takes it back to the drive's value
            const bool back = choice % 7 == 0;
            DriveSettings edited = settingsFromForm(window.ui);
            const uint16_t flags = back ? kept[1].flags : uint16_t(random());
            edited.flags = uint16_t((edited.flags & ~line.flagMask) | (flags & line.flagMask));
            if (line.settingIndex >= 0) {
                const auto i = size_t(line.settingIndex);
                edited.contents[i] = back ? kept[1].contents[i] : int(random() % 20000);
            }
            showSettingsInForm(window.ui, edited);
        } else if (choice < 93) {
            prompt.answer({dir.filePath(QString::number(random() % 4) + ".frx")});
            (choice < 90 ? window.ui.Save_configuration : window.ui.Open_configuration)->trigger();
        } else {  // Apply (slow: it stores the settings), Connect, or a link lost during an Apply
            bench.adapter.faults().stopAnsweringAfterFrames = choice >= 97 ? 0 : -1;
            (choice == 93 || choice >= 97 ? window.ui.applyButton : window.ui.connectButton)
                ->click();
        }
        const QString status = window.ui.statusbar->currentMessage();
        const DriveSettings form = settingsFromForm(window.ui);
        kept[1] = status == "Parameters set" || status.startsWith("Conneced") ? form : kept[1];
        kept[2] = status.startsWith("Configuration ") ? form : kept[2];
        ASSERT_EQ(wrongMarks(window, bench.firmware), "") << "step " << step << ", " << choice;
        ASSERT_EQ(window.keptSettings.keep(form), differingLines(form, kept[0]).empty() ||
                                                      differingLines(form, kept[1]).empty() ||
                                                      differingLines(form, kept[2]).empty());
    }
    // The question itself, once per Quit: No keeps the window and the link, Yes closes.
    bench.adapter.faults().stopAnsweringAfterFrames = -1;
    window.ui.connectButton->click();
    window.ui.peakcurrM2->setValue(window.ui.peakcurrM2->value() ^ 1);
    watcher.clear();
    for (auto answer : {QMessageBox::No, QMessageBox::Yes}) {
        watcher.answerWith(answer);
        window.ui.Quit->trigger();
        EXPECT_EQ(window.isVisible() && window.link.state().linkOpen, answer == QMessageBox::No);
    }
    ASSERT_EQ(watcher.boxes().size(), 2u);
    EXPECT_EQ(watcher.boxes().back().title, "Unsaved changes");
}
