#include "run_record.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QCryptographicHash>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "exit_codes.h"
#include "journal_log.h"
#include "json_line.h"
#include "regular_file.h"
#include "terminal_text.h"
#include "trace.h"

namespace command_line {

using drive_link::discardingTrace;
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

}  // namespace

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

bool printResult(int fd, const QJsonObject& object, const QString& line) {
    std::fflush(stdout);
    if (!object.isEmpty()) {
        return writeJsonLine(fd, object);
    }
    // The lines quote what the run read (a log's adapters, a file name, a drive's message).
    const QByteArray text = terminal_text::escapedLines(line).toLocal8Bit() + '\n';
    return writeAll(fd, text.constData(), size_t(text.size()));
}

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
