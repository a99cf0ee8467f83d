// Writing a file the user names so that it is either the old file or the whole new one: a save
// that fails or is interrupted never leaves half a file behind.
#pragma once

#include <QByteArray>
#include <QString>

namespace files {

// Replaces the file only once the whole text is on disk, with replacing_write.h's rules for
// what the name may be (a symbolic link, a device, a FIFO or a folder is refused): a failed or
// interrupted save leaves the file that was there untouched. `why`, when given, gets the reason
// of a failure ("it is a symbolic link ...", or the system's).
bool writeFileAtomically(const QString& path, const QByteArray& text, QString* why = nullptr);

}  // namespace files
