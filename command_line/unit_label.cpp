#include "unit_label.h"

#include <linux/magic.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <QFile>
#include <QVector>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include "regular_file.h"

namespace command_line {

using files::FileOpening;
using files::openRegularFile;
using files::RegularFile;

namespace {
// Far more than any label a scanner prints; a longer first line is refused as too long anyway.
constexpr int kUnitFileReadLimit = 4096;
constexpr int kLongestUnit = 64;
constexpr uint kReplacementCharacter = 0xFFFD;

// The code points of well-formed UTF-8, or none when it is not: no overlong form, no surrogate,
// nothing past U+10FFFF. Decoded here rather than by QString, which drops a leading byte order
// mark and stops at a NUL, each of which would let two labels pass as one.
std::optional<QVector<uint>> utf8CodePoints(const QByteArray& text) {
    QVector<uint> points;
    const auto byte = [&](int at) { return at < text.size() ? uchar(text[at]) : 0u; };
    for (int at = 0; at < text.size();) {
        const uint lead = byte(at);
        int length = 0;
        uint least = 0x80, most = 0xBF;  // the range of the second byte
        if (lead < 0x80) {
            length = 1;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            least = lead == 0xE0 ? 0xA0 : 0x80;
            most = lead == 0xED ? 0x9F : 0xBF;  // ED A0.. would be a surrogate
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            least = lead == 0xF0 ? 0x90 : 0x80;
            most = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return std::nullopt;
        }
        uint point = length == 1 ? lead : lead & (0x7F >> length);
        for (int i = 1; i < length; ++i) {
            const uint next = byte(at + i);
            if (next < (i == 1 ? least : 0x80) || next > (i == 1 ? most : 0xBF)) {
                return std::nullopt;
            }
            point = point << 6 | (next & 0x3F);
        }
        points.append(point);
        at += length;
    }
    return points;
}

QString lengthRefusal() {
    return QString("needs 1 to %1 characters").arg(kLongestUnit);
}

// The characters' rules, for a label already known to be Unicode text.
QString characterRefusal(const QVector<uint>& characters) {
    if (characters.isEmpty() || characters.size() > kLongestUnit) {
        return lengthRefusal();
    }
    for (const uint c : characters) {
        if (c == kReplacementCharacter) {
            return "is not valid UTF-8";
        }
        switch (QChar::category(c)) {
            case QChar::Other_Control:
                return c == 0 ? "holds a NUL character" : "holds a control character";
            case QChar::Other_Format:
                // Bidirectional overrides and zero-width characters make a label look like
                // another one.
                return QString("holds the invisible format character U+%1")
                    .arg(QString::number(c, 16).toUpper().rightJustified(4, '0'));
            case QChar::Separator_Line:
            case QChar::Separator_Paragraph:
                return "holds a line or paragraph separator";
            default:
                break;
        }
    }
    if (QChar::isSpace(characters.first()) || QChar::isSpace(characters.last())) {
        return "starts or ends with white space";
    }
    return {};
}

// The kernel's file systems: their "regular" files are the process's and the system's state.
bool isKernelFileSystem(int descriptor) {
    struct statfs system {};
    if (fstatfs(descriptor, &system) != 0) {
        return true;  // what cannot be told is not taken
    }
    switch (system.f_type) {
        case PROC_SUPER_MAGIC:
        case SYSFS_MAGIC:
        case DEBUGFS_MAGIC:
        case TRACEFS_MAGIC:
        case SECURITYFS_MAGIC:
        case CGROUP_SUPER_MAGIC:
        case CGROUP2_SUPER_MAGIC:
        case BPF_FS_MAGIC:
            return true;
        default:
            return false;
    }
}

// Up to `limit` bytes from the start of the file; false with errno's reason on a failed read.
bool readStart(int descriptor, int limit, QByteArray& text, int& readError) {
    text = QByteArray(limit, '\0');
    int got = 0;
    readError = 0;
    while (got < text.size()) {
        const ssize_t read = ::read(descriptor, text.data() + got, size_t(text.size() - got));
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read <= 0) {
            readError = read < 0 ? errno : 0;
            break;
        }
        got += int(read);
    }
    text.truncate(got);
    return readError == 0;
}
}  // namespace

QString unitLabelRefusal(const QByteArray& label) {
    // Past this many bytes no UTF-8 fits the longest label; said so before a cut character at
    // the end of the read could make it look like bad UTF-8.
    if (label.size() > 4 * kLongestUnit) {
        return lengthRefusal();
    }
    const std::optional<QVector<uint>> characters = utf8CodePoints(label);
    return characters ? characterRefusal(*characters) : QString("is not valid UTF-8");
}

QString unitRefusal(const QString& unit) {
    const QString refusal = characterRefusal(unit.toUcs4());
    return refusal.isEmpty() ? refusal : "--unit " + refusal;
}

bool readUnitFrom(const QString& path, QString& unit, QString& why) {
    const auto refuse = [&](const QString& reason) {
        why = QString("cannot read the unit from %1: %2").arg(path, reason);
        return false;
    };
    errno = 0;  // a directory is refused without a failing call to set it
    const RegularFile opened = openRegularFile(QFile::encodeName(path).constData());
    if (opened.outcome == FileOpening::NotRegularFile) {
        return refuse("not a regular file");
    }
    if (opened.outcome != FileOpening::Opened) {
        return refuse(errno ? std::strerror(errno) : "not a readable file");
    }
    if (isKernelFileSystem(opened.descriptor)) {
        close(opened.descriptor);
        return refuse("a file of the kernel's, not a scanner's");
    }
    QByteArray text;
    int readError = 0;
    const bool read = readStart(opened.descriptor, kUnitFileReadLimit, text, readError);
    close(opened.descriptor);
    if (!read) {
        return refuse(std::strerror(readError));
    }
    // A line ends at LF, CR LF or a lone CR (some scanners end a line so); the last one may have
    // no end at all.
    const auto lineEnd =
        std::find_if(text.cbegin(), text.cend(), [](char c) { return c == '\n' || c == '\r'; });
    const QByteArray line = text.left(int(lineEnd - text.cbegin()));
    const QString refusal = unitLabelRefusal(line);
    if (!refusal.isEmpty()) {
        return refuse("the label " + refusal);
    }
    unit = QString::fromUtf8(line);
    return true;
}

}  // namespace command_line
