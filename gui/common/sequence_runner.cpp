#include "sequence_runner.h"

#include <QEventLoop>
#include <QMetaObject>
#include <thread>

#include "drive_link.h"

namespace widgets {

bool SequenceRunner::run(const std::function<void()>& sequence) {
    if (running_) {
        return false;
    }
    running_ = true;
    stopping_ = false;
    QEventLoop loop;
    std::thread worker([&sequence, &loop] {
        sequence();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    running_ = false;
    return true;
}

void SequenceRunner::stopAtNextFrame(drive_link::Link& link) {
    if (running_) {
        stopping_ = true;
        link.requestStop();
    }
}

}  // namespace widgets
