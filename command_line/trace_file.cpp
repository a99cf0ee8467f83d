#include "trace_file.h"

#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "json_line.h"
#include "trace.h"

namespace command_line {

using drive_link::discardingTrace;

bool openTrace(const QString& path, TraceFile& file, QString& why) {
    file = {};
    file.toStandardOutput = path == "-";
    if (path.isEmpty() || file.toStandardOutput) {
        return true;
    }
    file.file = std::make_unique<files::ReplacingWrite>();
    std::string reason;
    if (!file.file->open(QFile::encodeName(path).toStdString(), files::Streams::WrittenDirectly,
                         reason)) {
        why = QString("cannot write the trace %1: %2")
                  .arg(path, QString::fromLocal8Bit(reason.c_str()));
        file = {};
        return false;
    }
    return true;
}

TraceRouted::TraceRouted(drive_link::Link& link, TraceFile file)
    : link_(link), file_(std::move(file)) {
    if (!file_.toStandardOutput && !file_.file) {
        link_.setTraceSink(discardingTrace());
        return;
    }
    link_.setTraceSink([this](std::string_view text) {
        // After the first failure the rest is not tried: the trace has a hole either way, and
        // a full disk would refuse every write of a long run. On standard output, what the
        // program printed before comes first.
        if (file_.file) {
            file_.file->write(text);
            return;
        }
        std::fflush(stdout);
        if (writeError_ == 0 && !writeAll(STDOUT_FILENO, text.data(), text.size())) {
            writeError_ = errno;
        }
    });
}

bool TraceRouted::complete(QString& why) {
    link_.setTraceSink(discardingTrace());
    std::string reason;
    if (file_.file && !file_.file->finish(reason)) {
        why = QString("cannot write the trace: %1").arg(QString::fromLocal8Bit(reason.c_str()));
        file_.file.reset();
        return false;
    }
    file_.file.reset();
    if (writeError_ != 0) {
        why = QString("cannot write the trace: %1").arg(std::strerror(writeError_));
    }
    return writeError_ == 0;
}

TraceRouted::~TraceRouted() {
    QString ignored;
    complete(ignored);
    link_.setTraceSink({});
}

}  // namespace command_line
