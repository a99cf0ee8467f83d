#include "run_log.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "journal_log.h"
#include "json_line.h"

namespace command_line {

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

}  // namespace

QJsonObject runRecord(const QJsonObject& result, const RunFacts& facts) {
    QJsonObject record = result;
    record["time"] = facts.started.toString(Qt::ISODateWithMs);
    record["program"] = facts.program;
    record["subcommand"] = facts.subcommand;
    record["adapter"] = facts.adapter;
    record["duration_s"] = facts.seconds;
    record["attempt"] = facts.attempt;
    return record;
}

namespace {
// A file of JSON lines, one a record.
class FileLog : public RunLog {
public:
    explicit FileLog(int fd) : fd_(fd) {}
    ~FileLog() override { close(fd_); }

    bool append(const QJsonObject& record, QString& why) override {
        // O_APPEND puts each write at the end, and one write per line keeps a line whole on a
        // local file system; the lock also keeps it whole where a write may be split (network
        // file systems), at the cost of a wait of one line's write. A line that does not fit
        // on a full disk is cut off again: the next run's line must start on a line of its own.
        flock(fd_, LOCK_EX);
        struct stat before {};
        const bool regular = fstat(fd_, &before) == 0 && S_ISREG(before.st_mode);
        const bool written = writeJsonLine(fd_, record);
        const int writeError = errno;
        if (!written && regular) {
            (void)!ftruncate(fd_, before.st_size);
        }
        flock(fd_, LOCK_UN);
        if (!written) {
            why = QString("cannot write the log: %1").arg(std::strerror(writeError));
        }
        return written;
    }

private:
    int fd_;
};
}  // namespace

std::unique_ptr<RunLog> openRunLog(const QString& where, QString& why) {
    if (where == kJournalLog) {
        return openJournalLog(why);
    }
    const int fd = openForWriting(where, O_APPEND);
    if (fd < 0) {
        why = QString("cannot open the log %1: %2").arg(where, std::strerror(errno));
        return nullptr;
    }
    return std::make_unique<FileLog>(fd);
}

}  // namespace command_line
