#include "adapter_alarm.h"

#include <algorithm>
#include <cmath>

namespace line_report {

namespace {
// ln(n!) from the gamma function: no table that grows with the line's runs.
double logFactorial(qint64 n) {
    return std::lgamma(double(n) + 1);
}

double logChoose(qint64 n, qint64 k) {
    return logFactorial(n) - logFactorial(k) - logFactorial(n - k);
}
}  // namespace

double chanceOfAsManyFailures(qint64 runs, qint64 failures, qint64 lineRuns, qint64 lineFailures) {
    const qint64 most = std::min(runs, lineFailures);
    const double logAll = logChoose(lineRuns, runs);
    double chance = 0;
    // The terms fall away fast past the mode; the tail beyond 1e-15 of the sum changes nothing.
    for (qint64 k = std::max<qint64>(failures, 0); k <= most; ++k) {
        if (lineRuns - lineFailures < runs - k) {
            continue;  // not enough passing runs elsewhere for this split
        }
        const double term = std::exp(logChoose(lineFailures, k) +
                                     logChoose(lineRuns - lineFailures, runs - k) - logAll);
        chance += term;
        if (k > failures && term < chance * 1e-15) {
            break;
        }
    }
    return std::min(chance, 1.0);
}

void AdapterWatch::add(const QString& adapter, bool failed) {
    AdapterTally& tally = tallies_[adapter];
    ++tally.runs;
    ++lineRuns_;
    if (failed) {
        ++tally.failures;
        ++lineFailures_;
    }
}

bool AdapterWatch::alarmed(const QString& adapter) const {
    const auto found = tallies_.find(adapter);
    if (found == tallies_.end() || found->second.failures < rule_.fewestFailures) {
        return false;
    }
    const AdapterTally& tally = found->second;
    const qint64 restRuns = lineRuns_ - tally.runs;
    const qint64 restFailures = lineFailures_ - tally.failures;
    // Alone on the line, or failing no more often than the rest: nothing to compare it with.
    if (restRuns == 0 || double(tally.failures) * restRuns <= double(restFailures) * tally.runs) {
        return false;
    }
    return chanceOfAsManyFailures(tally.runs, tally.failures, lineRuns_, lineFailures_) <
           rule_.falseAlarmRate / double(tallies_.size());
}

std::vector<QString> AdapterWatch::alarmedAdapters() const {
    std::vector<QString> names;
    for (const auto& [adapter, tally] : tallies_) {
        if (alarmed(adapter)) {
            names.push_back(adapter);
        }
    }
    return names;
}

}  // namespace line_report
