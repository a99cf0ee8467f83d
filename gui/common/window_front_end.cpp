#include "window_front_end.h"

#include <QMessageBox>

namespace widgets {

using drive_link::MessageKind;

void showMessageBox(QWidget* parent, MessageKind kind, const QString& title, const QString& text) {
    switch (kind) {
        case MessageKind::Warning:
            QMessageBox::warning(parent, title, text, QMessageBox::Ok);
            break;
        case MessageKind::Critical:
            QMessageBox::critical(parent, title, text, QMessageBox::Ok);
            break;
        case MessageKind::Information:
            QMessageBox::information(parent, title, text, QMessageBox::Ok);
            break;
    }
}

}  // namespace widgets
