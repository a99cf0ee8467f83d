#include "sequence_runner.h"

#include <QEventLoop>
#include <QMetaObject>
#include <thread>

namespace widgets {

bool SequenceRunner::run(const std::function<void()>& sequence) {
    if (running_) {
        return false;
    }
    running_ = true;
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

}  // namespace widgets
