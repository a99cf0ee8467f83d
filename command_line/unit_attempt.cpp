#include "unit_attempt.h"

#include "exit_codes.h"
#include "run_result.h"

namespace command_line {

bool worthRetrying(int exitCode) {
    return exitCode == kExitNoDrive || exitCode == kExitLinkLost || exitCode == kExitDriveFailed;
}

QJsonObject attemptOutcome(const SubcommandResult& result, const QString& unit, int attempt,
                           bool retriesAsked) {
    QJsonObject outcome = resultObject(result);
    if (!unit.isEmpty()) {
        outcome["unit"] = unit;
    }
    if (retriesAsked) {
        outcome["attempt"] = attempt;
    }
    return outcome;
}

void markNotRecorded(SubcommandResult& result, QJsonObject& outcome) {
    if (result.exitCode == kExitDone) {
        result.exitCode = kExitNotRecorded;
        outcome["result"] = "failed";
        outcome["exit_code"] = kExitNotRecorded;
    }
}

}  // namespace command_line
