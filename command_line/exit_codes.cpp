#include "exit_codes.h"

namespace command_line {

using drive_link::Failure;
using drive_link::Outcome;

QString exitClassName(int exitCode) {
    switch (exitCode) {
        case kExitDone:
            return "done";
        case kExitBadCommandLine:
            return "bad_command_line";
        case kExitFileRefused:
            return "file_refused";
        case kExitNoAdapter:
            return "no_adapter";
        case kExitNoDrive:
            return "no_drive";
        case kExitLinkLost:
            return "link_lost";
        case kExitDriveFailed:
            return "drive_failed";
        case kExitNotRecorded:
            return "not_recorded";
    }
    return exitCode > 128 ? QString("interrupted") : QString("exit_%1").arg(exitCode);
}

int exitCodeOf(const Outcome& outcome) {
    if (outcome.cancelled) {
        return kExitFileRefused;
    }
    switch (outcome.failure) {
        case Failure::None:
            return kExitDone;
        case Failure::FileRefused:
            return kExitFileRefused;
        case Failure::NoAdapter:
            return kExitNoAdapter;
        case Failure::NoDrive:
            return kExitNoDrive;
        case Failure::LinkLost:
            return kExitLinkLost;
        case Failure::DriveFailed:
            break;
    }
    return kExitDriveFailed;
}

}  // namespace command_line
