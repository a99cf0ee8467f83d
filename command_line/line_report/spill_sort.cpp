#include "spill_sort.h"

#include <QDir>
#include <QTemporaryFile>
#include <algorithm>
#include <cstring>

namespace line_report {

namespace {
// Runs open at once while merging; past this many the runs are merged into one first, so a log
// of any size never runs out of file descriptors.
constexpr size_t kMostRuns = 64;
constexpr size_t kHeaderBytes = 8;  // the key's and the payload's sizes
constexpr size_t kReadBytes = 64 * 1024;

// The sizes are read back by this process only, so they keep the machine's byte order.
quint32 sizeAt(const char* at) {
    quint32 size = 0;
    std::memcpy(&size, at, sizeof size);
    return size;
}

void appendEntry(std::vector<char>& to, std::string_view key, std::string_view payload) {
    const quint32 sizes[2] = {quint32(key.size()), quint32(payload.size())};
    to.insert(to.end(), reinterpret_cast<const char*>(sizes),
              reinterpret_cast<const char*>(sizes) + kHeaderBytes);
    to.insert(to.end(), key.begin(), key.end());
    to.insert(to.end(), payload.begin(), payload.end());
}

// One source of sorted entries while merging: the entry it stands on, until the next.
struct Cursor {
    virtual ~Cursor() = default;
    virtual bool next(QString& why) = 0;
    void standOn(const char* entry) {
        key = {entry + kHeaderBytes, sizeAt(entry)};
        payload = {entry + kHeaderBytes + key.size(), sizeAt(entry + 4)};
    }
    bool atEnd = false;
    std::string_view key;
    std::string_view payload;
};

class MemoryCursor : public Cursor {
public:
    MemoryCursor(const std::vector<char>& bytes, const std::vector<size_t>& starts)
        : bytes_(bytes), starts_(starts) {}
    bool next(QString&) override {
        atEnd = index_ == starts_.size();
        if (!atEnd) {
            standOn(bytes_.data() + starts_[index_++]);
        }
        return true;
    }

private:
    const std::vector<char>& bytes_;
    const std::vector<size_t>& starts_;
    size_t index_ = 0;
};

class FileCursor : public Cursor {
public:
    FileCursor(QFile& file, qint64 entries) : file_(file), left_(entries), buffer_(kReadBytes) {}
    bool rewind(QString& why) { return file_.seek(0) || failed(why, file_.errorString()); }
    bool next(QString& why) override {
        begin_ += current_;
        current_ = 0;
        atEnd = left_ == 0;
        if (atEnd) {
            return true;
        }
        if (!fill(kHeaderBytes, why)) {
            return false;
        }
        const size_t size = kHeaderBytes + sizeAt(&buffer_[begin_]) + sizeAt(&buffer_[begin_ + 4]);
        if (!fill(size, why)) {
            return false;
        }
        standOn(&buffer_[begin_]);
        current_ = size;
        --left_;
        return true;
    }

private:
    // At least `size` bytes from `begin_` on in the buffer.
    bool fill(size_t size, QString& why) {
        if (end_ - begin_ >= size) {
            return true;
        }
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
        buffer_.resize(std::max(buffer_.size(), size));
        while (end_ < size) {
            const qint64 got = file_.read(buffer_.data() + end_, qint64(buffer_.size() - end_));
            if (got <= 0) {
                return failed(why, got < 0 ? file_.errorString() : "it ends early");
            }
            end_ += size_t(got);
        }
        return true;
    }
    bool failed(QString& why, const QString& reason) const {
        why = QString("cannot read the temporary file %1: %2").arg(file_.fileName(), reason);
        return false;
    }

    QFile& file_;
    qint64 left_;
    std::vector<char> buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
    size_t current_ = 0;
};

// The cursors' entries in key order; of equal keys, the earlier cursor's first.
bool merge(const std::vector<Cursor*>& cursors, const SpillSort::Visit& visit, QString& why) {
    std::vector<size_t> heap;
    for (size_t i = 0; i < cursors.size(); ++i) {
        if (!cursors[i]->next(why)) {
            return false;
        }
        if (!cursors[i]->atEnd) {
            heap.push_back(i);
        }
    }
    const auto later = [&cursors](size_t a, size_t b) {
        const int order = cursors[a]->key.compare(cursors[b]->key);
        return order != 0 ? order > 0 : a > b;
    };
    std::make_heap(heap.begin(), heap.end(), later);
    while (!heap.empty()) {
        std::pop_heap(heap.begin(), heap.end(), later);
        Cursor& cursor = *cursors[heap.back()];
        visit(cursor.key, cursor.payload);
        if (!cursor.next(why)) {
            return false;
        }
        if (cursor.atEnd) {
            heap.pop_back();
        } else {
            std::push_heap(heap.begin(), heap.end(), later);
        }
    }
    return true;
}
}  // namespace

struct SpillSort::Run {
    QTemporaryFile file;
    qint64 entries = 0;
    bool written = true;

    // Opens the run's file; false, with the reason, when it cannot be made.
    bool open(const SpillLimits& limits, QString& why) {
        const QString directory = limits.directory.isEmpty() ? QDir::tempPath() : limits.directory;
        file.setFileTemplate(QDir(directory).filePath("line-report-XXXXXX.run"));
        if (!file.open()) {
            why = QString("cannot make a temporary file in %1: %2")
                      .arg(QDir::toNativeSeparators(directory), file.errorString());
            return false;
        }
        return true;
    }
    void write(const char* entry, size_t size) {
        written = written && file.write(entry, qint64(size)) == qint64(size);
        ++entries;
    }
    bool close(QString& why) {
        if (written && file.flush()) {
            return true;
        }
        why = QString("cannot write the temporary file %1: %2")
                  .arg(file.fileName(), file.errorString());
        return false;
    }
};

SpillSort::SpillSort(SpillLimits limits) : limits_(std::move(limits)) {}
SpillSort::~SpillSort() = default;
SpillSort::SpillSort(SpillSort&&) noexcept = default;
SpillSort& SpillSort::operator=(SpillSort&&) noexcept = default;

bool SpillSort::add(std::string_view key, std::string_view payload) {
    if (!failure_.isEmpty()) {
        return false;
    }
    const size_t size = kHeaderBytes + key.size() + payload.size();
    const size_t inMemory = bytes_.size() + starts_.size() * sizeof(size_t);
    if (!starts_.empty() && inMemory + size + sizeof(size_t) > size_t(limits_.memoryBytes)) {
        if (!spill()) {
            return false;
        }
    }
    // Doubled up to the bound and never past it: left to grow by itself the buffer could take
    // twice the bound, and the whole bound taken at once costs a short log what a long one costs.
    const size_t needed = bytes_.size() + size;
    if (bytes_.capacity() < needed) {
        const size_t doubled = std::max<size_t>(kReadBytes, 2 * bytes_.capacity());
        bytes_.reserve(std::max(needed, std::min(doubled, size_t(limits_.memoryBytes))));
    }
    starts_.push_back(bytes_.size());
    appendEntry(bytes_, key, payload);
    sorted_ = false;
    ++count_;
    return true;
}

void SpillSort::sortInMemory() {
    if (!sorted_) {
        std::stable_sort(starts_.begin(), starts_.end(), [this](size_t a, size_t b) {
            return std::string_view(&bytes_[a + kHeaderBytes], sizeAt(&bytes_[a])) <
                   std::string_view(&bytes_[b + kHeaderBytes], sizeAt(&bytes_[b]));
        });
        sorted_ = true;
    }
}

bool SpillSort::spill() {
    sortInMemory();
    auto run = std::make_unique<Run>();
    QString why;
    if (!run->open(limits_, why)) {
        return fail(why);
    }
    for (const size_t start : starts_) {
        const char* entry = &bytes_[start];
        run->write(entry, kHeaderBytes + sizeAt(entry) + sizeAt(entry + 4));
    }
    if (!run->close(why)) {
        return fail(why);
    }
    runs_.push_back(std::move(run));
    bytes_.clear();
    starts_.clear();
    return runs_.size() < kMostRuns || mergeRuns();
}

bool SpillSort::mergeRuns() {
    auto merged = std::make_unique<Run>();
    QString why;
    if (!merged->open(limits_, why)) {
        return fail(why);
    }
    std::vector<char> entry;
    const auto write = [&](std::string_view key, std::string_view payload) {
        entry.clear();
        appendEntry(entry, key, payload);
        merged->write(entry.data(), entry.size());
    };
    if (!mergeInto(write, false, why) || !merged->close(why)) {
        return fail(why);
    }
    runs_.clear();
    runs_.push_back(std::move(merged));
    return true;
}

bool SpillSort::mergeInto(const Visit& visit, bool withMemory, QString& why) {
    std::vector<std::unique_ptr<FileCursor>> files;
    std::vector<Cursor*> cursors;
    for (const auto& run : runs_) {
        files.push_back(std::make_unique<FileCursor>(run->file, run->entries));
        if (!files.back()->rewind(why)) {
            return false;
        }
        cursors.push_back(files.back().get());
    }
    MemoryCursor memory(bytes_, starts_);
    if (withMemory) {
        cursors.push_back(&memory);
    }
    return merge(cursors, visit, why);
}

bool SpillSort::forEach(const Visit& visit, QString& why) {
    if (!failure_.isEmpty()) {
        why = failure_;
        return false;
    }
    sortInMemory();
    return mergeInto(visit, true, why);
}

bool SpillSort::fail(const QString& why) {
    failure_ = why;
    return false;
}

}  // namespace line_report
