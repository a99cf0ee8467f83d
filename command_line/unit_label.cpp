#include "unit_label.h"

#include <unistd.h>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "regular_file.h"

namespace command_line {

using files::FileOpening;
using files::openRegularFile;
using files::RegularFile;

namespace {
// Far more than any label a scanner prints; a longer first line is refused as too long anyway.
constexpr int kUnitFileReadLimit = 4096;
constexpr int kLongestUnit = 64;
}  // namespace

QString unitRefusal(const QString& unit) {
    const QVector<uint> characters = unit.toUcs4();
    if (characters.isEmpty() || characters.size() > kLongestUnit) {
        return QString("--unit needs 1 to %1 characters").arg(kLongestUnit);
    }
    if (std::any_of(characters.begin(), characters.end(),
                    [](uint c) { return QChar::category(c) == QChar::Other_Control; })) {
        return "--unit holds a control character";
    }
    return {};
}

bool readUnitFrom(const QString& path, QString& unit, QString& why) {
    const auto refuse = [&](const char* reason) {
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
    QByteArray text(kUnitFileReadLimit, '\0');
    int got = 0;
    int readError = 0;
    while (got < text.size()) {
        const ssize_t read =
            ::read(opened.descriptor, text.data() + got, size_t(text.size() - got));
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read <= 0) {
            readError = read < 0 ? errno : 0;
            break;
        }
        got += int(read);
    }
    close(opened.descriptor);
    if (readError) {
        return refuse(std::strerror(readError));
    }
    text.truncate(got);
    QByteArray line = text.left(text.indexOf('\n'));
    if (line.endsWith('\r')) {
        line.chop(1);
    }
    unit = QString::fromUtf8(line);
    return true;
}

}  // namespace command_line
