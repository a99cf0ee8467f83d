#include "file_prompt.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace widgets {

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

bool mayReplace(QWidget* parent, const QString& caption, const QString& path) {
    if (!QFileInfo::exists(path)) {
        return true;
    }
    const QString text = QCoreApplication::translate(
                             "FilePrompt", "%1 already exists.<br>Do you want to replace it?")
                             .arg(QFileInfo(path).fileName().toHtmlEscaped());
    return QMessageBox::question(parent, caption, text, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace widgets
