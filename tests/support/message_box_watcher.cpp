#include "message_box_watcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>

MessageBoxWatcher::MessageBoxWatcher() {
    connect(&timer_, &QTimer::timeout, this, &MessageBoxWatcher::poll);
    connect(&nestedTimer_, &QTimer::timeout, this, &MessageBoxWatcher::poll);
    timer_.start(5);
}

MessageBoxWatcher::~MessageBoxWatcher() {
    timer_.stop();
}

QStringList MessageBoxWatcher::texts() const {
    QStringList list;
    for (const SeenBox& box : boxes_) {
        list << box.text;
    }
    return list;
}

void MessageBoxWatcher::onBoxOpen(std::function<void(int, QMessageBox*)> hook) {
    hook_ = std::move(hook);
}

void MessageBoxWatcher::answerFileDialogs(const QStringList& paths) {
    fileAnswers_ = paths;
}

bool MessageBoxWatcher::waitForBoxes(int count, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (int(boxes_.size()) < count && clock.elapsed() < timeoutMs) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return int(boxes_.size()) >= count;
}

void MessageBoxWatcher::poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible()) {
        return;
    }
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        if (box->property("watcherAnswered").toBool()) {
            return;
        }
        box->setProperty("watcherAnswered", true);
        // The file dialog's own question (replace an existing file?) is the user's yes, not a
        // message of the workflow.
        QWidget* owner = box->parentWidget() ? box->parentWidget()->window() : nullptr;
        if (qobject_cast<QFileDialog*>(owner)) {
            ++fileDialogQuestions_;
            if (QAbstractButton* yes = box->button(QMessageBox::Yes)) {
                yes->click();
            } else {
                box->accept();
            }
            return;
        }
        boxes_.push_back({box->icon(), box->windowTitle(), box->text()});
        if (hook_) {
            hook_(int(boxes_.size()) - 1, box);
        }
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        if (ok) {
            ok->click();
        } else {
            box->accept();
        }
        return;
    }
    if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
        if (dialog->property("watcherAnswered").toBool()) {
            return;
        }
        dialog->setProperty("watcherAnswered", true);
        ++fileDialogsSeen_;
        QString answer = fileAnswers_.isEmpty() ? QString() : fileAnswers_.takeFirst();
        if (answer.isEmpty()) {
            dialog->reject();
        } else {
            // The dialog lists its folder in the background and may move the selection when the
            // listing arrives; let it settle, then type the answer once more.
            dialog->selectFile(answer);
            QElapsedTimer settle;
            settle.start();
            while (settle.elapsed() < 150) {
                QApplication::processEvents(QEventLoop::AllEvents, 10);
            }
            dialog->selectFile(answer);
            // Accepting may open the dialog's own overwrite question in a nested event loop,
            // where the polling timer, being busy in this very call, is not fired again; a
            // second timer answers it.
            nestedTimer_.start(5);
            static_cast<QDialog*>(dialog)->accept();  // protected in QFileDialog
            nestedTimer_.stop();
            // The dialog refuses a name in a folder that does not exist; a user can still type
            // one, so it is forced through.
            if (dialog->isVisible()) {
                static_cast<QDialog*>(dialog)->done(QDialog::Accepted);
            }
        }
    }
}

QString describeBox(const SeenBox& box) {
    const char* icon = "none";
    switch (box.icon) {
        case QMessageBox::Information:
            icon = "information";
            break;
        case QMessageBox::Warning:
            icon = "warning";
            break;
        case QMessageBox::Critical:
            icon = "critical";
            break;
        case QMessageBox::Question:
            icon = "question";
            break;
        case QMessageBox::NoIcon:
            icon = "none";
            break;
    }
    return QString("%1|%2|%3").arg(icon, box.title, box.text);
}

QStringList describeBoxes(const MessageBoxWatcher& watcher) {
    QStringList list;
    for (const SeenBox& box : watcher.boxes()) {
        list << describeBox(box);
    }
    return list;
}
