// Which of the station's fixture ports have an adapter now: the bus is read on a thread of its
// own at a modest rate (a look lists the USB devices, which must not stall the window), and
// each look reaches the tiles by a queued signal.
#pragma once

#include <QObject>
#include <QStringList>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace station {

class PortWatch : public QObject {
    Q_OBJECT
public:
    explicit PortWatch(std::chrono::milliseconds interval, QObject* parent = nullptr);
    ~PortWatch() override;

signals:
    // The ports that have an adapter, after every look.
    void portsSeen(const QStringList& ports);

private:
    void watch();

    std::chrono::milliseconds interval_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace station
