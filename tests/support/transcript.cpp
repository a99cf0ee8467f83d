#include "transcript.h"

#include <regex>

namespace {
constexpr int kLineWidth = 100;
constexpr size_t kLongestGroup = 4;

QString frameToken(const drive_sim::FrameRecord& frame) {
    const bool data = frame.command == 13 || frame.command == 19;
    return QString("%1,%2")
        .arg(frame.command)
        .arg(data ? QString("*") : QString::number(frame.value));
}

// Parameter reads and writes as one token each, so that their frames read as the calls they are.
QStringList frameTokens(const std::vector<drive_sim::FrameRecord>& frames) {
    QStringList tokens;
    for (size_t i = 0; i < frames.size(); ++i) {
        const auto& f = frames[i];
        auto is = [&](size_t k, int command, int value) {
            return i + k < frames.size() && frames[i + k].command == command &&
                   (value < 0 || frames[i + k].value == value);
        };
        if (f.command == 52 && is(1, 2, 0) && is(2, 2, 0)) {
            tokens << QString("get %1").arg(f.value);
            i += 2;
        } else if (f.command == 50 && is(1, 51, -1)) {
            tokens << QString("set %1=%2").arg(frames[i + 1].value).arg(f.value);
            i += 1;
        } else {
            tokens << frameToken(f);
        }
    }
    return tokens;
}

// How often the group of `length` tokens at `start` repeats right there.
int repeats(const QStringList& tokens, int start, int length) {
    int count = 1;
    while (start + (count + 1) * length <= tokens.size()) {
        for (int k = 0; k < length; ++k) {
            if (tokens[start + count * length + k] != tokens[start + k]) {
                return count;
            }
        }
        ++count;
    }
    return count;
}

// Runs of a repeated group of up to four tokens as "(group) xN", the longest run first.
QStringList compressRuns(const QStringList& tokens, const QString& separator) {
    QStringList groups;
    for (int i = 0; i < tokens.size();) {
        int bestLength = 1;
        int bestCount = 1;
        for (int length = 1; length <= int(kLongestGroup); ++length) {
            const int count = repeats(tokens, i, length);
            if (count > 1 && count * length > bestCount * bestLength) {
                bestLength = length;
                bestCount = count;
            }
        }
        const QString joined = tokens.mid(i, bestLength).join(separator);
        if (bestCount == 1) {
            groups << joined;
        } else {
            groups << (bestLength == 1 ? joined : "(" + joined + ")") +
                          QString(" x%1").arg(bestCount);
        }
        i += bestLength * bestCount;
    }
    return groups;
}

QString wrapped(const QStringList& items, const QString& prefix, const QString& separator) {
    QStringList lines;
    QString line;
    for (const QString& item : items) {
        if (!line.isEmpty() && line.size() + separator.size() + item.size() > kLineWidth) {
            lines << line;
            line.clear();
        }
        line += (line.isEmpty() ? prefix : separator) + item;
    }
    if (!line.isEmpty()) {
        lines << line;
    }
    return lines.join('\n');
}
}  // namespace

QString compactFrames(const std::vector<drive_sim::FrameRecord>& frames) {
    return wrapped(compressRuns(frameTokens(frames), " "), "> ", " ");
}

QString compactTrace(const std::string& out) {
    static const std::regex clean(R"(\d{3},\d{5}  [0-9A-F]{8})");
    static const std::regex complaint(R"((\d{3}),\d{5}( (CRC error|Not conencted).*))");
    // A row of the scope's sample table on standard error.
    static const std::regex sampleRow(R"(\s*-?\d+\s+-?\d+\s+-?\d+\s*)");
    QStringList tokens;
    size_t start = 0;
    while (start < out.size()) {
        size_t end = out.find('\n', start);
        if (end == std::string::npos) {
            end = out.size();
        }
        const std::string line = out.substr(start, end - start);
        start = end + 1;
        if (std::regex_match(line, clean)) {
            tokens << ".";
        } else if (std::regex_match(line, sampleRow)) {
            tokens << "row";
        } else {
            // The packet counter returns the cursor instead of ending its line.
            tokens << QString::fromStdString(std::regex_replace(line, complaint, "$1,*$2"))
                          .replace('\r', "\\r");
        }
    }
    return wrapped(compressRuns(tokens, " | "), "| ", " | ");
}

void Transcript::flushFrames() {
    const std::vector<drive_sim::FrameRecord> log = frames_();
    if (framesSeen_ < log.size()) {
        lines_ << compactFrames(
            std::vector<drive_sim::FrameRecord>(log.begin() + long(framesSeen_), log.end()));
        framesSeen_ = log.size();
        lastLine_.clear();
    }
}

void Transcript::add(const QString& line) {
    flushFrames();
    if (!lines_.isEmpty() && line == lastLine_) {
        lines_.last() = line + QString(" x%1").arg(++repeats_);
        return;
    }
    lines_ << line;
    lastLine_ = line;
    repeats_ = 1;
}

QString Transcript::text() {
    flushFrames();
    return lines_.join('\n') + '\n';
}
