#include "atomic_file.h"

#include <QFile>
#include <string>

#include "replacing_write.h"

namespace files {

bool writeFileAtomically(const QString& path, const QByteArray& text, QString* why) {
    std::string reason;
    const bool written =
        replaceFile(QFile::encodeName(path).toStdString(),
                    std::string_view(text.constData(), size_t(text.size())), reason);
    if (!written && why) {
        *why = QString::fromLocal8Bit(reason.c_str());
    }
    return written;
}

}  // namespace files
