#include "output_capture.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {
int makeTempFile() {
    char name[] = "/tmp/kmr-capture-XXXXXX";
    int fd = mkstemp(name);
    if (fd >= 0) {
        unlink(name);
    }
    return fd;
}

std::string readAll(int fd) {
    std::string text;
    if (fd < 0) {
        return text;
    }
    off_t end = lseek(fd, 0, SEEK_END);
    text.resize(size_t(end));
    if (end > 0 && pread(fd, &text[0], size_t(end), 0) != end) {
        text.clear();
    }
    return text;
}
}  // namespace

OutputCapture::OutputCapture() {
    std::fflush(stdout);
    std::fflush(stderr);
    outFile_ = makeTempFile();
    errFile_ = makeTempFile();
    savedOut_ = dup(STDOUT_FILENO);
    savedErr_ = dup(STDERR_FILENO);
    dup2(outFile_, STDOUT_FILENO);
    dup2(errFile_, STDERR_FILENO);
}

OutputCapture::~OutputCapture() {
    stop();
    if (outFile_ >= 0)
        close(outFile_);
    if (errFile_ >= 0)
        close(errFile_);
}

std::string OutputCapture::out() {
    std::fflush(stdout);
    return readAll(outFile_);
}

std::string OutputCapture::err() {
    std::fflush(stderr);
    return readAll(errFile_);
}

void OutputCapture::stop() {
    std::fflush(stdout);
    std::fflush(stderr);
    if (savedOut_ >= 0) {
        dup2(savedOut_, STDOUT_FILENO);
        close(savedOut_);
        savedOut_ = -1;
    }
    if (savedErr_ >= 0) {
        dup2(savedErr_, STDERR_FILENO);
        close(savedErr_);
        savedErr_ = -1;
    }
}
