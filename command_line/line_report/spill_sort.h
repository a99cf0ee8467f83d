// Entries (a key and a payload of bytes) sorted by their whole keys with bounded memory: up to
// the bound they are kept in memory, past it they go to sorted runs in temporary files that are
// merged when read. A report over a log of any size keeps every key exactly, so no two runs or
// units are ever taken for one because something derived from their keys met.
#pragma once

#include <QString>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

class QTemporaryFile;

namespace line_report {

struct SpillLimits {
    // What the entries held in memory may cost, their bytes and their index together.
    qint64 memoryBytes = 16 << 20;
    // Where the runs go; the system's temporary directory when empty.
    QString directory;
};

class SpillSort {
public:
    explicit SpillSort(SpillLimits limits = {});
    ~SpillSort();
    SpillSort(SpillSort&&) noexcept;
    SpillSort& operator=(SpillSort&&) noexcept;

    // False, with the reason, when the entries in memory had to go to a run that could not be
    // written: the entry is not kept then, nor any after it, and every later call fails alike.
    bool add(std::string_view key, std::string_view payload);
    using Visit = std::function<void(std::string_view key, std::string_view payload)>;
    // Every entry added, in the order of the keys' bytes and, for equal keys, in the order they
    // were added; the views last until `visit` returns. False, with the reason, when a run could
    // not be read back. May be called again, for the same entries.
    bool forEach(const Visit& visit, QString& why);
    qint64 size() const { return count_; }
    // The runs in temporary files now.
    size_t spilledRuns() const { return runs_.size(); }
    const QString& failure() const { return failure_; }

private:
    struct Run;
    bool spill();
    bool mergeRuns();
    // The runs' entries (and with `withMemory` those in memory, sorted) merged into `visit`.
    bool mergeInto(const Visit& visit, bool withMemory, QString& why);
    void sortInMemory();
    bool fail(const QString& why);

    SpillLimits limits_;
    std::vector<char> bytes_;     // each entry: key size, payload size (4 bytes each), key, payload
    std::vector<size_t> starts_;  // where each entry in memory begins, in key order once sorted
    bool sorted_ = true;
    std::vector<std::unique_ptr<Run>> runs_;  // in the order they were written
    qint64 count_ = 0;
    QString failure_;
};

}  // namespace line_report
