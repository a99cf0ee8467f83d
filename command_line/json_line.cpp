#include "json_line.h"

#include <unistd.h>
#include <QJsonDocument>
#include <cerrno>

namespace command_line {

bool writeJsonLine(int fd, const QJsonObject& object) {
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    // One write keeps the line whole; only one cut short (a full disk) is followed by another,
    // which then says why.
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t written = write(fd, line.constData() + done, size_t(line.size() - done));
        if (written == 0) {
            errno = ENOSPC;
        }
        if (written <= 0 && errno != EINTR) {
            return false;
        }
        done += written > 0 ? written : 0;
    }
    return true;
}

}  // namespace command_line
