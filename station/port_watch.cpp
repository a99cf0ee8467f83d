#include "port_watch.h"

#include "provider.h"

namespace station {

PortWatch::PortWatch(std::chrono::milliseconds interval, QObject* parent)
    : QObject(parent), interval_(interval), thread_([this] { watch(); }) {}

PortWatch::~PortWatch() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void PortWatch::watch() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        lock.unlock();
        QStringList ports;
        for (const std::string& port : presentAdapterPorts()) {
            ports += QString::fromStdString(port);
        }
        // Delivered on the watch's own thread of affinity (the window's), never after it is gone.
        QMetaObject::invokeMethod(
            this, [this, ports] { emit portsSeen(ports); }, Qt::QueuedConnection);
        lock.lock();
        wake_.wait_for(lock, interval_, [this] { return stopping_; });
    }
}

}  // namespace station
