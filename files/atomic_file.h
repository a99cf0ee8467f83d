// Writing a file the user names so that it is either the old file or the whole new one: a save
// that fails or is interrupted never leaves half a file behind.
#pragma once

#include <QByteArray>
#include <QString>

namespace files {

// Replaces the file only once the whole text is on disk: a failed or interrupted save leaves the
// file that was there untouched.
bool writeFileAtomically(const QString& path, const QByteArray& text);

}  // namespace files
