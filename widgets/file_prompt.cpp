#include "file_prompt.h"

#include <QFileDialog>

QString askWithFileDialog(QWidget* parent, const FileQuestion& question) {
    QFileDialog dialog(parent, question.caption, question.startName, question.filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(question.forSaving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (question.forSaving && !question.defaultSuffix.isEmpty()) {
        dialog.setDefaultSuffix(question.defaultSuffix);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return QString();
    }
    return dialog.selectedFiles().first();
}
