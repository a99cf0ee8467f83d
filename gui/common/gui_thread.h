// Drive sequences run on a worker thread; only the GUI thread touches widgets. A call a workflow
// makes of its window goes through onGuiThread: run there, with the worker waiting for the
// answer, so boxes and questions come in the order the workflow asks them.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QThread>
#include <type_traits>

namespace widgets {

template <class Call>
auto onGuiThread(QObject* context, Call&& call) -> decltype(call()) {
    using Result = decltype(call());
    if (QThread::currentThread() == context->thread()) {
        return call();
    }
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(
            context, [&call] { call(); }, Qt::BlockingQueuedConnection);
    } else {
        Result result{};
        QMetaObject::invokeMethod(
            context, [&call, &result] { result = call(); }, Qt::BlockingQueuedConnection);
        return result;
    }
}

}  // namespace widgets
