#include "log_reader.h"

#include <cstring>

namespace line_report {

namespace {
// The lines of a stream, each whole once its end is read; a line past the limit is dropped as
// it comes and handed on as overlong when it ends.
class LineSplitter {
public:
    LineSplitter(LineTally& tally, qint64 mostLineBytes, const RecordTrust& trust)
        : tally_(tally), mostLineBytes_(mostLineBytes), trust_(trust) {}

    void take(const char* data, qint64 size) {
        const char* const end = data + size;
        while (data < end) {
            const auto* newline =
                static_cast<const char*>(std::memchr(data, '\n', size_t(end - data)));
            const char* const stop = newline ? newline : end;
            const qint64 length = stop - data;
            if (newline && pending_.isEmpty() && length <= mostLineBytes_ && !overlong_) {
                // The usual case: the whole line in this chunk, taken where it lies.
                takeLine(QByteArray::fromRawData(data, int(length)));
            } else {
                if (!overlong_ && pending_.size() + length > mostLineBytes_) {
                    overlong_ = true;
                    pending_.clear();
                } else if (!overlong_) {
                    pending_.append(data, int(length));
                }
                if (newline) {
                    endLine();
                }
            }
            data = newline ? newline + 1 : end;
        }
    }

    // The last line, where the stream ends without a line break.
    void finish() {
        if (overlong_ || !pending_.isEmpty()) {
            endLine();
        }
    }

private:
    void endLine() {
        if (overlong_) {
            tally_.skipLines(1);
        } else {
            takeLine(pending_);
        }
        overlong_ = false;
        pending_.resize(0);
    }

    void takeLine(const QByteArray& line) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.isEmpty()) {
            return;
        }
        if (parseRecordLine(trimmed, record_, trust_)) {
            tally_.add(record_);
        } else {
            tally_.skipLines(1);
        }
    }

    LineTally& tally_;
    const qint64 mostLineBytes_;
    const RecordTrust& trust_;
    QByteArray pending_;  // the line begun in an earlier chunk
    bool overlong_ = false;
    RunRecord record_;
};
}  // namespace

bool readRecords(QIODevice& input, LineTally& into, QString& why, ReadLimits limits,
                 const RecordTrust& trust) {
    QByteArray chunk(int(limits.chunkBytes), Qt::Uninitialized);
    LineSplitter lines(into, limits.mostLineBytes, trust);
    // Past a record the tally could not keep, none would count: reading stops there.
    const auto kept = [&into, &why] {
        why = into.failure();
        return why.isEmpty();
    };
    for (;;) {
        const qint64 got = input.read(chunk.data(), chunk.size());
        if (got < 0) {
            why = input.errorString();
            lines.finish();
            return false;
        }
        if (got == 0) {  // the end: the caller's files and pipes block until there is more
            break;
        }
        lines.take(chunk.constData(), got);
        if (!kept()) {
            return false;
        }
    }
    lines.finish();
    return kept();
}

}  // namespace line_report
