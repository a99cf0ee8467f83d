// A main window as the front end of its workflows: real message boxes with the window as their
// parent, its status bar, and its translation context.
#pragma once

#include <QCoreApplication>
#include <QMainWindow>
#include <QStatusBar>

#include "front_end.h"

namespace widgets {

// Modal, the parent's child, a single OK button.
void showMessageBox(QWidget* parent, drive_link::MessageKind kind, const QString& title,
                    const QString& text);

template <class Interface>
class WindowFrontEnd : public Interface {
public:
    explicit WindowFrontEnd(QMainWindow* window) : window_(window) {}

    QString translate(const char* text) override {
        return QCoreApplication::translate(window_->metaObject()->className(), text);
    }
    void showStatus(const QString& text, int timeoutMs) override {
        window_->statusBar()->showMessage(text, timeoutMs);
    }
    void showMessage(drive_link::MessageKind kind, const QString& title, const QString& text,
                     drive_link::Failure) override {
        showMessageBox(window_, kind, title, text);
    }
    // A window started from a terminal keeps the whole log there; its user sees the warnings
    // and errors in the status bar, until the next status text.
    void log(drive_link::LogLevel level, const QString& line) override {
        Interface::log(level, line);
        if (level != drive_link::LogLevel::Info) {
            window_->statusBar()->showMessage(line.trimmed());
        }
    }

private:
    QMainWindow* window_;
};

}  // namespace widgets
