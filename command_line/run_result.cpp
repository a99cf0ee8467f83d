#include "run_result.h"

#include <unistd.h>
#include <QCryptographicHash>
#include <QFile>
#include <cstdio>

#include "exit_codes.h"
#include "json_line.h"
#include "regular_file.h"
#include "terminal_text.h"

namespace command_line {

using files::FileOpening;
using files::openRegularFile;
using files::RegularFile;

// Only a regular file is hashed: the name on the line may be a FIFO or a device, which the
// workflow refused and which must not block or endlessly feed the hash now.
QString sha256Of(const QString& path) {
    const RegularFile opened = openRegularFile(QFile::encodeName(path).constData());
    if (opened.outcome != FileOpening::Opened) {
        return {};
    }
    QFile file;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const bool hashed =
        file.open(opened.descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle) &&
        hash.addData(&file);
    if (!file.isOpen()) {
        close(opened.descriptor);
    }
    return hashed ? QString::fromLatin1(hash.result().toHex()) : QString();
}
QJsonObject resultObject(const SubcommandResult& result) {
    QJsonObject object{{"result", result.exitCode == kExitDone ? "done" : "failed"},
                       {"exit_code", result.exitCode},
                       {"message", result.line}};
    if (!result.file.isEmpty()) {
        object["file"] = result.file;
        const QString hash = sha256Of(result.file);
        if (!hash.isEmpty()) {
            object["sha256"] = hash;
        }
    }
    if (!result.versionRead.isEmpty()) {
        object["version"] = result.versionRead;
    }
    for (auto detail = result.details.begin(); detail != result.details.end(); ++detail) {
        object.insert(detail.key(), detail.value());
    }
    return object;
}

bool printResult(int fd, const QJsonObject& object, const QString& line) {
    std::fflush(stdout);
    if (!object.isEmpty()) {
        return writeJsonLine(fd, object);
    }
    // The lines quote what the run read (a log's adapters, a file name, a drive's message).
    const QByteArray text = terminal_text::escapedLines(line).toLocal8Bit() + '\n';
    return writeAll(fd, text.constData(), size_t(text.size()));
}

}  // namespace command_line
