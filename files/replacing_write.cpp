#include "replacing_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace files {

namespace {
// Why a target that exists is not replaced, or empty when it may be: a regular file, or a
// stream the caller writes directly.
const char* refusalOf(const struct stat& target, Streams streams) {
    if (S_ISREG(target.st_mode)) {
        return nullptr;
    }
    if (S_ISLNK(target.st_mode)) {
        return "it is a symbolic link (name the file it leads to)";
    }
    if (S_ISDIR(target.st_mode)) {
        return "it is a folder";
    }
    if (S_ISSOCK(target.st_mode)) {
        return "it is a socket";
    }
    const bool stream = S_ISCHR(target.st_mode) || S_ISFIFO(target.st_mode);
    if (stream && streams == Streams::WrittenDirectly) {
        return nullptr;
    }
    return "it is a device or a FIFO, not a regular file";
}

// What `path` names, looked at without following a link: false when nothing is there. A link
// that leads to a stream the caller writes directly (/dev/stderr) is the stream: it is written,
// never replaced.
bool lookAt(const std::string& path, Streams streams, struct stat& target) {
    if (lstat(path.c_str(), &target) != 0) {
        return false;
    }
    struct stat followed {};
    if (S_ISLNK(target.st_mode) && streams == Streams::WrittenDirectly &&
        stat(path.c_str(), &followed) == 0 &&
        (S_ISCHR(followed.st_mode) || S_ISFIFO(followed.st_mode))) {
        target = followed;
    }
    return true;
}

// A FIFO that nobody reads is refused at once (ENXIO) rather than holding the run before it
// starts; one that is read works as a pipe does.
int openStream(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    return fd;
}

mode_t newFileMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}
}  // namespace

ReplacingWrite::~ReplacingWrite() {
    abandon();
}

bool ReplacingWrite::open(const std::string& path, Streams streams, std::string& why) {
    abandon();
    path_ = path;
    writeError_ = 0;
    struct stat target {};
    const bool exists = lookAt(path, streams, target);
    if (!exists && errno != ENOENT) {
        why = std::strerror(errno);
        return false;
    }
    if (exists) {
        if (const char* refusal = refusalOf(target, streams)) {
            why = refusal;
            return false;
        }
        if (!S_ISREG(target.st_mode)) {
            fd_ = openStream(path);
            if (fd_ < 0) {
                why = std::strerror(errno);
            }
            return fd_ >= 0;
        }
    }
    temporary_ = path + ".XXXXXX";
    fd_ = mkostemp(&temporary_[0], O_CLOEXEC);
    const mode_t mode = exists ? target.st_mode & 07777 : newFileMode();
    if (fd_ < 0 || fchmod(fd_, mode) != 0) {
        why = std::strerror(errno);
        abandon();
        return false;
    }
    return true;
}

bool ReplacingWrite::write(std::string_view text) {
    if (fd_ < 0 && writeError_ == 0) {
        writeError_ = EBADF;
    }
    for (size_t done = 0; writeError_ == 0 && done < text.size();) {
        const ssize_t n = ::write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            writeError_ = n < 0 ? errno : ENOSPC;
        }
        done += n > 0 ? size_t(n) : 0;
    }
    errno = writeError_;
    return writeError_ == 0;
}

bool ReplacingWrite::finish(std::string& why) {
    if (fd_ < 0 && writeError_ == 0) {
        writeError_ = EBADF;
    }
    if (fd_ >= 0 && !temporary_.empty() && writeError_ == 0 && fsync(fd_) != 0) {
        writeError_ = errno;
    }
    if (fd_ >= 0 && ::close(fd_) != 0 && writeError_ == 0) {
        writeError_ = errno;
    }
    fd_ = -1;
    if (!temporary_.empty() && writeError_ == 0) {
        // The name may have become something else since it was judged: it is looked at again
        // just before it is replaced.
        struct stat target {};
        if (lstat(path_.c_str(), &target) == 0 && refusalOf(target, Streams::Refused)) {
            why = refusalOf(target, Streams::Refused);
            abandon();
            return false;
        }
        if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
            writeError_ = errno;
        } else {
            temporary_.clear();
        }
    }
    const bool finished = writeError_ == 0;
    if (!finished) {
        why = std::strerror(writeError_);
    }
    abandon();
    return finished;
}

void ReplacingWrite::abandon() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty()) {
        unlink(temporary_.c_str());
        temporary_.clear();
    }
}

const char* replacementRefusal(const std::string& path, Streams streams) {
    struct stat target {};
    return lookAt(path, streams, target) ? refusalOf(target, streams) : nullptr;
}

bool replaceFile(const std::string& path, std::string_view text, std::string& why) {
    ReplacingWrite file;
    if (!file.open(path, Streams::Refused, why)) {
        return false;
    }
    file.write(text);  // a loss is finish's to tell
    return file.finish(why);
}

}  // namespace files
