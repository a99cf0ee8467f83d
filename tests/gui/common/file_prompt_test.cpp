// The file dialog behind both windows' prompts: how it is set up, and that cancelling gives an
// empty name.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QTimer>

#include "file_prompt.h"

using namespace widgets;

namespace {
// Asks, describes the dialog that opened as "caption|filters|accept mode|file mode|suffix|kind"
// and cancels it.
QString askAndCancel(const FileQuestion& question, QString& answer) {
    QString seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog || !seen.isEmpty()) {
            return;
        }
        seen = QStringList{dialog->windowTitle(),
                           dialog->nameFilters().join(';'),
                           dialog->acceptMode() == QFileDialog::AcceptSave ? "save" : "open",
                           dialog->fileMode() == QFileDialog::AnyFile ? "any file" : "other",
                           dialog->defaultSuffix(),
                           dialog->testOption(QFileDialog::DontUseNativeDialog) ? "own" : "native"}
                   .join('|');
        dialog->reject();
    });
    poll.start(5);
    answer = askWithFileDialog(nullptr, question);
    return seen;
}
}  // namespace

// An opened name is as typed: only the saving dialog adds the suffix.
TEST(FilePrompt, SavingDialogAddsTheSuffixAndOpeningTakesAnyNameAndCancelGivesNoName) {
    for (bool forSaving : {true, false}) {
        FileQuestion question{forSaving ? "Save File" : "Open File", "Ferroxsettings.frx",
                              "Ferrox files (*.frx)", forSaving, "frx"};
        QString answer = "untouched";
        EXPECT_EQ(askAndCancel(question, answer),
                  forSaving ? "Save File|Ferrox files (*.frx)|save|any file|frx|own"
                            : "Open File|Ferrox files (*.frx)|open|any file||own");
        EXPECT_TRUE(answer.isEmpty());
    }
}
