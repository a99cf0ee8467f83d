#include "json_line.h"

#include <unistd.h>
#include <QJsonDocument>
#include <cerrno>

namespace command_line {

bool writeAll(int fd, const char* data, size_t size) {
    for (size_t done = 0; done < size;) {
        const ssize_t written = write(fd, data + done, size - done);
        if (written == 0) {
            errno = ENOSPC;
        }
        if (written <= 0 && errno != EINTR) {
            return false;
        }
        done += written > 0 ? size_t(written) : 0;
    }
    return true;
}

bool writeJsonLine(int fd, const QJsonObject& object) {
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    // One write keeps the line whole; only one cut short (a full disk) is followed by another,
    // which then says why.
    return writeAll(fd, line.constData(), size_t(line.size()));
}

}  // namespace command_line
