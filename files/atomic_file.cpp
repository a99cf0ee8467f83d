#include "atomic_file.h"

#include <QSaveFile>

namespace files {

bool writeFileAtomically(const QString& path, const QByteArray& text) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    // The toolkit's commit does not notice a short write at its final flush (a full disk, a
    // file size limit) and would put a truncated file in place of the old one, so the text is
    // flushed and checked first.
    if (file.write(text) != text.size() || !file.flush() || file.size() != text.size()) {
        file.cancelWriting();
        file.commit();  // discards the temporary file
        return false;
    }
    return file.commit();
}

}  // namespace files
