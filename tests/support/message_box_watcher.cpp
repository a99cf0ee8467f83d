#include "message_box_watcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>

MessageBoxWatcher::MessageBoxWatcher() {
    connect(&timer_, &QTimer::timeout, this, &MessageBoxWatcher::poll);
    timer_.start(5);
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
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box || box->property("watcherAnswered").toBool()) {
        return;
    }
    box->setProperty("watcherAnswered", true);
    boxes_.push_back({box->icon(), box->windowTitle(), box->text(), box->parentWidget()});
    if (QAbstractButton* chosen = box->button(answer_)) {
        chosen->click();
    } else if (QAbstractButton* ok = box->button(QMessageBox::Ok)) {
        ok->click();
    } else {
        box->accept();
    }
}

QString describeBox(const SeenBox& box) {
    const char* icon = box.icon == QMessageBox::Information ? "information"
                       : box.icon == QMessageBox::Warning   ? "warning"
                       : box.icon == QMessageBox::Critical  ? "critical"
                                                            : "other";
    return QString("%1|%2|%3").arg(icon, box.title, box.text);
}
