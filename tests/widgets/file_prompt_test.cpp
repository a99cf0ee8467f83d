// The file dialog behind both windows' prompts: how it is set up, and that cancelling gives an
// empty name.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QTimer>

#include "file_prompt.h"

using namespace widgets;

namespace {
struct SeenDialog {
    bool seen = false;
    QString caption;
    QStringList filters;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
    QFileDialog::FileMode fileMode = QFileDialog::ExistingFile;
    QString defaultSuffix;
    bool native = true;
};

// Asks, looks at the dialog that opened and cancels it.
SeenDialog askAndCancel(const FileQuestion& question, QString& answer) {
    SeenDialog seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || seen.seen) {
            return;
        }
        seen.seen = true;
        seen.caption = dialog->windowTitle();
        seen.filters = dialog->nameFilters();
        seen.acceptMode = dialog->acceptMode();
        seen.fileMode = dialog->fileMode();
        seen.defaultSuffix = dialog->defaultSuffix();
        seen.native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
        dialog->reject();
    });
    poll.start(5);
    answer = askWithFileDialog(nullptr, question);
    return seen;
}
}  // namespace

TEST(FilePrompt, SavingDialogAddsTheSuffixAndOpeningTakesAnyNameAndCancelGivesNoName) {
    for (bool forSaving : {true, false}) {
        FileQuestion question{forSaving ? "Save File" : "Open File", "Ferroxsettings.frx",
                              "Ferrox files (*.frx)", forSaving, "frx"};
        QString answer = "untouched";
        SeenDialog seen = askAndCancel(question, answer);
        ASSERT_TRUE(seen.seen);
        EXPECT_TRUE(answer.isEmpty());
        EXPECT_EQ(seen.caption, question.caption);
        EXPECT_EQ(seen.filters, QStringList{"Ferrox files (*.frx)"});
        EXPECT_EQ(seen.acceptMode, forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        EXPECT_EQ(seen.fileMode, QFileDialog::AnyFile);
        EXPECT_EQ(seen.defaultSuffix, forSaving ? "frx" : "");  // an opened name is as typed
        EXPECT_FALSE(seen.native);
    }
}
