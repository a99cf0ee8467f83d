#include "json_line.h"

#include <unistd.h>
#include <QJsonDocument>

namespace command_line {

bool writeJsonLine(int fd, const QJsonObject& object) {
    const QByteArray line = QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
    ssize_t written;
    do {
        written = write(fd, line.constData(), size_t(line.size()));
    } while (written < 0 && errno == EINTR);
    return written == ssize_t(line.size());
}

}  // namespace command_line
