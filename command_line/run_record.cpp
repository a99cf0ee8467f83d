#include "run_record.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <QCryptographicHash>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "command_line_front_end.h"
#include "json_line.h"
#include "regular_file.h"
#include "trace.h"

namespace command_line {

using drive_link::discardingTrace;
using drive_link::setTraceSink;
using files::FileOpening;
using files::openRegularFile;
using files::RegularFile;

namespace {
// Opens a file to write into without blocking: a FIFO that nobody reads is refused at once
// (ENXIO) instead of holding the run before it starts; one that is read works, as a pipe does.
int openForWriting(const QString& path, int flags) {
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | flags, 0644);
    if (fd >= 0) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    return fd;
}

// Only a regular file is hashed: the name on the line may be a FIFO or a device, which the
// workflow refused and which must not block or endlessly feed the hash now.
QString sha256Of(const QString& path) {
    const RegularFile opened = openRegularFile(QFile::encodeName(path).constData());
    if (opened.outcome != FileOpening::Opened) {
        return {};
    }
    QFile file;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const bool hashed =
        file.open(opened.descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle) &&
        hash.addData(&file);
    if (!file.isOpen()) {
        close(opened.descriptor);
    }
    return hashed ? QString::fromLatin1(hash.result().toHex()) : QString();
}
}  // namespace

QJsonObject resultObject(const SubcommandResult& result) {
    QJsonObject object{{"result", result.exitCode == kExitDone ? "done" : "failed"},
                       {"exit_code", result.exitCode},
                       {"message", result.line}};
    if (!result.file.isEmpty()) {
        object["file"] = result.file;
        const QString hash = sha256Of(result.file);
        if (!hash.isEmpty()) {
            object["sha256"] = hash;
        }
    }
    if (!result.versionRead.isEmpty()) {
        object["version"] = result.versionRead;
    }
    for (auto detail = result.details.begin(); detail != result.details.end(); ++detail) {
        object.insert(detail.key(), detail.value());
    }
    return object;
}

RunLog::~RunLog() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool RunLog::open(const QString& path, QString& why) {
    fd_ = openForWriting(path, O_APPEND);
    if (fd_ < 0) {
        why = QString("cannot open the log %1: %2").arg(path, std::strerror(errno));
    }
    return fd_ >= 0;
}

void printResult(int fd, const QJsonObject& object, const QString& line) {
    std::fflush(stdout);
    if (!object.isEmpty()) {
        writeJsonLine(fd, object);
        return;
    }
    const QByteArray text = line.toLocal8Bit() + '\n';
    (void)!write(fd, text.constData(), size_t(text.size()));
}

bool RunLog::append(const QJsonObject& result, const RunFacts& facts, QString& why) {
    QJsonObject entry = result;
    entry["time"] = facts.started.toString(Qt::ISODateWithMs);
    entry["program"] = facts.program;
    entry["subcommand"] = facts.subcommand;
    entry["adapter"] = facts.adapter;
    entry["duration_s"] = facts.seconds;
    entry["attempt"] = facts.attempt;
    // O_APPEND puts each write at the end, and one write per line keeps a line whole on a local
    // file system; the lock also keeps it whole where a write may be split (network file
    // systems), at the cost of a wait of one line's write.
    flock(fd_, LOCK_EX);
    const bool written = writeJsonLine(fd_, entry);
    const int writeError = errno;
    flock(fd_, LOCK_UN);
    if (!written) {
        why = QString("cannot write the log: %1").arg(std::strerror(writeError));
    }
    return written;
}

bool openTrace(const QString& path, int& fd, QString& why) {
    if (path.isEmpty() || path == "-") {
        fd = path.isEmpty() ? -1 : STDOUT_FILENO;
        return true;
    }
    fd = openForWriting(path, O_TRUNC);
    if (fd < 0) {
        why = QString("cannot write the trace %1: %2").arg(path, std::strerror(errno));
    }
    return fd >= 0;
}

TraceRouted::TraceRouted(int traceFd) : traceFd_(traceFd) {
    if (traceFd == STDOUT_FILENO) {
        return;  // the link's default
    }
    if (traceFd < 0) {
        setTraceSink(discardingTrace());
        return;
    }
    setTraceSink([traceFd](std::string_view text) {
        // A trace that can no longer be written is given up; the work goes on.
        while (!text.empty()) {
            const ssize_t written = write(traceFd, text.data(), text.size());
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                return;
            }
            text.remove_prefix(size_t(written));
        }
    });
}

TraceRouted::~TraceRouted() {
    setTraceSink({});
    if (traceFd_ > STDERR_FILENO) {
        close(traceFd_);
    }
}

}  // namespace command_line
