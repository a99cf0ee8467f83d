// What only the real window shows: its start state and the form's ranges, the span choice, each
// button and menu entry reaching its workflow with the window as the parent of every box, the
// widget states that follow, the form as the store of the settings, and closing.
#include <gtest/gtest.h>

#include <QAbstractSpinBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "drive_link.h"
#include "message_box_watcher.h"
#include "morvane.h"
#include "output_capture.h"
#include "scripted_file_prompt.h"
#include "settings_form.h"
#include "sim_fixture.h"
#include "tuning_panel.h"
#include "ui_plot_dialog.h"

using namespace config_tool;
using namespace drive_link;

namespace {
QString buttonStates(Morvane& window) {
    QString states;
    for (QWidget* button : {window.ui.connectButton, window.ui.testButton, window.ui.applyButton,
                            window.ui.disableButton}) {
        states += button->isEnabled() ? "x" : "-";
    }
    return states;
}

// Stands in for the desktop's viewer: records what the window asked it to open.
class UrlRecorder : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};
}  // namespace

TEST(Window, StartsDisconnectedWithTheFormsRangesAndStartValues) {
    OutputCapture capture;
    Morvane window;
    const std::string printed = capture.out() + capture.err();
    capture.stop();
    EXPECT_EQ(printed, "");  // no complaint about slots the toolkit cannot bind
    EXPECT_EQ(buttonStates(window), "x---");
    EXPECT_EQ(window.firmwareVersion, -1);
    // Minimum, maximum, step and start value: the ranges clamp what a file or a drive brings in.
    // The settings table sets them over whatever the form's file holds.
    const std::pair<const char*, QString> fields[] = {
        {"contcurr", "0 11000 200 2000"}, {"peakcurr", "0 20000 200 4000"},
        {"inductance", "0.05 50 0.05 5"}, {"resistance", "0.05 50 0.05 1"},
        {"ferror", "1 16383 100 500"},    {"mult", "1 20 1 1"},
        {"gainP", "0 32767 50 500"},      {"gainI", "0 32767 25 100"},
        {"gainD", "0 32767 50 500"}};
    for (bool fromTable : {false, true}) {
        if (fromTable) {
            for (QAbstractSpinBox* box : window.findChildren<QAbstractSpinBox*>()) {
                box->setProperty("decimals", 0);  // the value follows into the range of one
                for (const char* property : {"minimum", "maximum", "singleStep"}) {
                    box->setProperty(property, 3);
                }
            }
            applySettingsTableToForm(window.ui);
        }
        for (const auto& field : fields) {
            for (const char* axis : {"M1", "M2"}) {
                auto* box = window.findChild<QAbstractSpinBox*>(field.first + QString(axis));
                ASSERT_NE(box, nullptr) << field.first << axis;
                QStringList range;
                for (const char* property : {"minimum", "maximum", "singleStep", "value"}) {
                    range << box->property(property).toString();
                }
                const QString rangeOnly = field.second.section(' ', 0, 2) + " 3";
                EXPECT_EQ(range.join(" "), fromTable ? rangeOnly : field.second)
                    << field.first << axis;
            }
        }
    }
    EXPECT_EQ(settingsFromForm(window.ui).flags, 0);
}

// A front end without the form holds the settings as the form does, below, above and between
// its ranges and two-decimal steps.
TEST(Window, TheFormHoldsTheSettingsAsTheTableSays) {
    Morvane window;
    for (int content : {-1, 0, 7, 376, 65535}) {
        DriveSettings odd;
        odd.flags = uint16_t(content);
        odd.contents.fill(content);
        showSettingsInForm(window.ui, odd);
        const DriveSettings shown = settingsFromForm(window.ui), held = asTheFormHolds(odd);
        EXPECT_EQ(shown.flags, held.flags) << content;
        EXPECT_EQ(shown.contents, held.contents) << content;
    }
}

TEST(Window, AtMostOneSpanIsCheckedAndChoosingItAgainClearsIt) {
    Morvane window;
    QAction* const spans[] = {window.ui.span_100_ms, window.ui.span_500_ms, window.ui.span_2000_ms};
    QString checked;  // which spans are checked after each choice
    for (int choice : {0, 1, 2, 0, 0, 1, 1}) {
        spans[choice]->trigger();
        for (QAction* span : spans) {
            checked += span->isChecked() ? "x" : "-";
        }
        checked += QString::number(window.chosenSpanMs()) + " ";
    }
    EXPECT_EQ(checked, "x--100 -x-500 --x2000 x--100 ---0 -x-500 ---0 ");
}

// Each control runs its workflow through the window: the boxes have the window as parent, the
// buttons follow the connected state, the form takes the drive's settings and gives them back.
TEST(Window, ControlsRunTheirWorkflowsOnTheRealForm) {
    FerroxBench bench = installFerroxDrive();
    Morvane window;
    window.show();
    MessageBoxWatcher watcher;
    QTemporaryDir dir;
    ScriptedFilePrompt prompt;
    window.askFileName = prompt.prompt();

    QTest::mouseClick(window.ui.connectButton, Qt::LeftButton);
    EXPECT_EQ(buttonStates(window), "xxxx");
    EXPECT_EQ(window.ui.statusbar->currentMessage(),
              "Conneced & settings imported. Firmware version 2210");
    EXPECT_EQ(window.ui.inductanceM1->text(), "2.50");  // the drive's 375 / 150
    EXPECT_EQ(window.ui.contcurrM1->value(), 2600);
    EXPECT_TRUE(window.ui.invertM1->isChecked());  // bit 0x0008 of the drive's 80
    // The drive's settings as the window saves them: `morvane backup` must write these bytes.
    prompt.answer({dir.filePath("saved"), dir.filePath("saved.frx")});
    window.ui.Save_configuration->trigger();
    QFile saved(dir.filePath("saved.frx")), golden(KMR_GOLDEN_DIR "/factory_drive.frx");
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly) && golden.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), golden.readAll());

    window.ui.gainPM2->setValue(750);
    window.ui.resistanceM2->setValue(0.41);
    QTest::mouseClick(window.ui.applyButton, Qt::LeftButton);
    EXPECT_EQ(bench.firmware.param(8300), 750);
    EXPECT_EQ(bench.firmware.param(8502), 41);
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "Parameters set");

    QTest::mouseClick(window.ui.disableButton, Qt::LeftButton);
    EXPECT_FALSE(bench.firmware.powerStageEnabled());
    window.ui.Drive_diagnosis->trigger();
    QTest::mouseClick(window.ui.testButton, Qt::LeftButton);
    EXPECT_TRUE(window.ui.statusbar->currentMessage().startsWith("Peak error "));

    window.ui.Open_configuration->trigger();
    EXPECT_EQ(window.ui.gainPM2->value(), 600);
    EXPECT_EQ(prompt.asked().front().caption, "Save File");

    bench.adapter.faults().stopAnsweringAfterFrames = 0;
    QTest::mouseClick(window.ui.applyButton, Qt::LeftButton);
    EXPECT_EQ(buttonStates(window), "x---");
    EXPECT_EQ(window.firmwareVersion, -1);
    EXPECT_EQ(window.ui.statusbar->currentMessage(), "Connection lost, reconnect.");

    QStringList kinds;
    for (const SeenBox& box : watcher.boxes()) {
        EXPECT_EQ(box.parent, &window) << box.title.toStdString();
        kinds << describeBox(box).section('|', 0, 1);
    }
    EXPECT_EQ(kinds, (QStringList{"information|Connecting", "information|Diagnosis",
                                  "critical|CRC error"}));
    window.ui.Drive_diagnosis->trigger();  // disconnected now
    ASSERT_TRUE(watcher.waitForBoxes(4));
    EXPECT_EQ(describeBox(watcher.boxes().back()), "information|Diagnosis|Connect first");
}

TEST(Window, QuitAndCloseCloseTheLinkOnceAndOnlyWhenItWasOpened) {
    for (bool connect : {false, true}) {
        for (bool byQuit : {false, true}) {
            SCOPED_TRACE(std::string(connect ? "connected, " : "") + (byQuit ? "quit" : "close"));
            installFerroxDrive();
            Morvane window;
            window.show();
            MessageBoxWatcher watcher;
            if (connect) {
                QTest::mouseClick(window.ui.connectButton, Qt::LeftButton);
            }
            window.plotDialog.show();
            OutputCapture capture;
            if (byQuit) {
                window.ui.Quit->trigger();
            } else {
                EXPECT_TRUE(window.close());
            }
            const std::string printed = capture.out();
            capture.stop();
            EXPECT_FALSE(window.isVisible());
            EXPECT_FALSE(window.plotDialog.isVisible());
            EXPECT_FALSE(window.link.state().linkOpen);
            EXPECT_EQ(printed, connect ? "USB closed\n" : "");
        }
    }
}

TEST(Window, HelpOpensTheManualOfTheWorkingDirectoryElseTheInstalledOne) {
    QTemporaryDir work;
    QTemporaryDir installed;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(work.path()));
    UrlRecorder viewer;
    QDesktopServices::setUrlHandler("file", &viewer, "open");
    Morvane window;
    window.installedManualFolder = installed.path();
    MessageBoxWatcher watcher;
    auto writeManual = [](const QString& folder) {
        QFile file(folder + "/MorvaneManual.pdf");
        return file.open(QIODevice::WriteOnly) && file.write("%PDF-1.4\n") > 0;
    };
    window.ui.Open_help_PDF->trigger();  // no manual anywhere: nothing opens
    ASSERT_TRUE(writeManual(installed.path()));
    window.ui.Open_help_PDF->trigger();
    ASSERT_TRUE(writeManual(work.path()));
    window.ui.Open_help_PDF->trigger();
    EXPECT_EQ(viewer.opened,
              (QList<QUrl>{QUrl::fromLocalFile(installed.path() + "/MorvaneManual.pdf"),
                           QUrl::fromLocalFile(QDir::currentPath() + "/MorvaneManual.pdf")}));
    QDesktopServices::unsetUrlHandler("file");
    QDir::setCurrent(previous);
    EXPECT_TRUE(watcher.boxes().empty());
}

#include "window_test.moc"

// Try on the drive runs the trial on the connected drive: gains the test bears out stay; gains
// the drive clamps go back, and no fault reaches its settings memory.
TEST(Window, TryOnTheDriveKeepsGainsTheTestBearsOutAndPutsBackTheOthers) {
    FerroxBench bench = installFerroxDrive();
    Morvane window;
    MessageBoxWatcher watcher;
    QTest::mouseClick(window.ui.connectButton, Qt::LeftButton);
    window.ui.span_100_ms->trigger();
    int tried = 0;
    const auto tryAt = [&](double hz) {
        QTest::mouseClick(window.ui.testButton, Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !window.tuningPanel->identifying(); }, 30000));
        window.plotForm->bandwidthBox->setValue(hz);
        EXPECT_TRUE(window.plotForm->tryOnDriveButton->isEnabled())
            << window.plotForm->proposalLabel->text().toStdString();
        tried = window.tuningPanel->proposal().gains.p;
        QTest::mouseClick(window.plotForm->tryOnDriveButton, Qt::LeftButton);
        return window.plotForm->checkLabel->text();
    };
    const QString kept = tryAt(60.0);
    const int p = tried;
    EXPECT_TRUE(kept.startsWith("Predicted against measured (matches)")) << kept.toStdString();
    EXPECT_EQ(bench.firmware.storedParams().at(200), p);
    EXPECT_EQ(window.ui.gainPM1->value(), p);

    // Just above the present P: the put-back passes, the proposal's higher P does not.
    bench.firmware.setWriteLimit(200, uint16_t(p + 5));
    const QString putBack = tryAt(59.0);
    EXPECT_TRUE(
        putBack.contains(QString("the drive kept P %1 of the %2 sent").arg(p + 5).arg(tried)) &&
        putBack.endsWith("The old gains are back."))
        << putBack.toStdString();
    EXPECT_EQ(bench.firmware.storedParams().at(200), p);
    EXPECT_EQ(window.ui.gainPM1->value(), p);
    EXPECT_EQ(
        bench.firmware.storedParams().count(5100) ? bench.firmware.storedParams().at(5100) : 0, 0);
    EXPECT_TRUE(watcher.boxes().size() == 1) << describeBox(watcher.boxes().back()).toStdString();
}
