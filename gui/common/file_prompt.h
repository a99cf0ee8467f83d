// The question for a file name that both windows ask. A window keeps its prompt as a value, so
// that a test can answer it directly instead of steering the toolkit's file dialog.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace widgets {

struct FileQuestion {
    QString caption;
    QString startName;  // where the dialog starts: a file name, a folder, or empty
    QString filter;
    bool forSaving = false;
    QString defaultSuffix;  // appended by the dialog to a saved name without one
};

// The chosen name, or an empty text when the user cancelled.
using FilePrompt = std::function<QString(QWidget* parent, const FileQuestion& question)>;

// The toolkit's own dialog rather than the desktop's: it behaves the same everywhere, and when
// saving it appends the default suffix before it asks about overwriting, so the question
// covers the name that is really written. Any name is taken, also for opening, so that a file
// that is not there gets the program's own message instead of a refusal inside the dialog.
QString askWithFileDialog(QWidget* parent, const FileQuestion& question);

// Asks before a save replaces an existing file under a name the prompt did not ask about (the
// program appended a suffix after it). True when the file may be written.
bool mayReplace(QWidget* parent, const QString& caption, const QString& path);

}  // namespace widgets
