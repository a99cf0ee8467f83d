#include "regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace files {

namespace {
FileOpening kindOf(const struct stat& status) {
    if (S_ISREG(status.st_mode)) {
        return FileOpening::Opened;
    }
    return S_ISDIR(status.st_mode) ? FileOpening::CannotOpen : FileOpening::NotRegularFile;
}
}  // namespace

RegularFile openRegularFile(const char* path) {
    RegularFile file;
    struct stat status {};
    if (stat(path, &status) != 0) {
        return file;
    }
    file.outcome = kindOf(status);
    if (file.outcome != FileOpening::Opened) {
        return file;
    }
    const int descriptor = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (descriptor < 0) {
        file.outcome = FileOpening::CannotOpen;
        return file;
    }
    file.outcome = fstat(descriptor, &status) == 0 ? kindOf(status) : FileOpening::CannotOpen;
    if (file.outcome != FileOpening::Opened) {
        close(descriptor);
        return file;
    }
    // Reads of a regular file never block anyway; the flag only kept the open from waiting.
    fcntl(descriptor, F_SETFL, fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    file.descriptor = descriptor;
    return file;
}

}  // namespace files
