#include "run_files.h"

#include <sys/stat.h>
#include <QFile>
#include <QFileInfo>

#include "exit_codes.h"
#include "replacing_write.h"

namespace command_line {

namespace {
// A file as the file system knows it: by device and inode when it exists (so that a second
// name, a link or a relative path are the same file), else by its absolute name.
struct FileIdentity {
    bool exists = false;
    bool regular = false;
    dev_t device = 0;
    ino_t inode = 0;
    QString absolute;
};

FileIdentity identityOf(const QString& path) {
    FileIdentity identity;
    struct stat status {};
    identity.exists = stat(QFile::encodeName(path).constData(), &status) == 0;
    identity.regular = identity.exists && S_ISREG(status.st_mode);
    identity.device = status.st_dev;
    identity.inode = status.st_ino;
    identity.absolute = QFileInfo(path).absoluteFilePath();
    return identity;
}

bool sameFile(const FileIdentity& a, const FileIdentity& b) {
    if (a.exists != b.exists) {
        return false;
    }
    return a.exists ? a.device == b.device && a.inode == b.inode : a.absolute == b.absolute;
}

bool isFileName(const QString& path) {
    return !path.isEmpty() && path != "-";
}
}  // namespace

FilesRefusal judgeNamedFiles(const std::vector<NamedFile>& files) {
    std::vector<FileIdentity> identities;
    for (const NamedFile& file : files) {
        identities.push_back(identityOf(file.path));
        if (file.use == NamedFile::Written && isFileName(file.path)) {
            if (const char* refusal = files::replacementRefusal(
                    QFile::encodeName(file.path).toStdString(), files::Streams::Refused)) {
                return {kExitFileRefused,
                        QString("cannot write %1 %2: %3").arg(file.role, file.path, refusal)};
            }
        }
    }
    for (size_t i = 0; i < files.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            const bool oneWritten =
                files[i].use != NamedFile::Read || files[j].use != NamedFile::Read;
            // A device or a FIFO may take two streams (--log and --trace both to /dev/null).
            const bool plainFiles = !identities[i].exists || identities[i].regular;
            if (oneWritten && plainFiles && isFileName(files[i].path) &&
                isFileName(files[j].path) && sameFile(identities[i], identities[j])) {
                return {kExitBadCommandLine,
                        QString("%1 and %2 name the same file %3: a run never writes over a "
                                "file it reads or writes otherwise")
                            .arg(files[j].role, files[i].role, files[i].path)};
            }
        }
    }
    return {};
}

}  // namespace command_line
