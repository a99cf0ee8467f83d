// What a workflow on the worker thread sees of its window: every call goes to the window on the
// GUI thread, the worker waiting for the answer. While the user has stopped the sequence, its
// consequences are not news: the lost-link report a stop brings is kept from the user, and the
// window says "Stopped" instead once the sequence ended.
#pragma once

#include <atomic>

#include "front_end.h"
#include "gui_thread.h"

namespace widgets {

template <class Interface>
class OnGuiThread : public Interface {
public:
    OnGuiThread(QObject* gui, Interface& window, const std::atomic<bool>& stopping)
        : gui_(gui), window_(window), stopping_(stopping) {}

    QString translate(const char* text) override {
        return onGui([&] { return window_.translate(text); });
    }
    void showStatus(const QString& text, int timeoutMs) override {
        if (!stopping_) {
            onGui([&] { window_.showStatus(text, timeoutMs); });
        }
    }
    void showMessage(drive_link::MessageKind kind, const QString& title, const QString& text,
                     drive_link::Failure failure) override {
        if (!(stopping_ && failure == drive_link::Failure::LinkLost)) {
            onGui([&] { window_.showMessage(kind, title, text, failure); });
        }
    }
    void askForPowerCycle(const QString& instructions) override {
        onGui([&] { window_.askForPowerCycle(instructions); });
    }
    void setConnected(bool connected) override {
        onGui([&] { window_.setConnected(connected); });
    }
    void log(drive_link::LogLevel level, const QString& line) override {
        onGui([&] { window_.log(level, line); });
    }

protected:
    template <class Call>
    auto onGui(Call&& call) -> decltype(call()) {
        return onGuiThread(gui_, std::forward<Call>(call));
    }
    Interface& window() { return window_; }

private:
    QObject* gui_;
    Interface& window_;
    const std::atomic<bool>& stopping_;
};

}  // namespace widgets
