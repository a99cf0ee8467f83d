// Which adapters fail significantly more often than the rest of the line: a station whose
// fixture, cable or adapter is going bad, to be looked at before it spoils more units.
#pragma once

#include <QString>
#include <map>
#include <vector>

namespace line_report {

// The chance that an adapter with `runs` of the line's `lineRuns` runs holds `failures` or more
// of the line's `lineFailures` failures, were every run equally likely to fail wherever it ran:
// the upper tail of the hypergeometric distribution (the one-sided Fisher exact test of the
// adapter against the rest of the line).
double chanceOfAsManyFailures(qint64 runs, qint64 failures, qint64 lineRuns, qint64 lineFailures);

// The alarm raised on an adapter. An adapter is alarmed when it has at least
// `fewestFailures` failures, fails more often than the rest of the line, and the chance of as
// many failures by luck alone is below `falseAlarmRate` divided by the number of adapters
// (Bonferroni): on a line where every adapter fails equally often, one evaluation names any
// adapter at most with that chance.
struct AlarmRule {
    double falseAlarmRate = 0.003;
    int fewestFailures = 3;
};

struct AdapterTally {
    qint64 runs = 0;
    qint64 failures = 0;
};

// The alarm over the runs seen so far, fed in the log's order, so that a line can be watched
// as it works and every prefix of a log judged.
class AdapterWatch {
public:
    explicit AdapterWatch(AlarmRule rule = {}) : rule_(rule) {}
    void add(const QString& adapter, bool failed);
    bool alarmed(const QString& adapter) const;
    // The adapters alarmed now, by name.
    std::vector<QString> alarmedAdapters() const;
    const std::map<QString, AdapterTally>& tallies() const { return tallies_; }

private:
    AlarmRule rule_;
    std::map<QString, AdapterTally> tallies_;
    qint64 lineRuns_ = 0;
    qint64 lineFailures_ = 0;
};

}  // namespace line_report
