// The options of the subcommands that work on one axis.
#pragma once

#include <QCommandLineOption>

namespace command_line {

inline const QCommandLineOption kAxisOption("axis", "the axis to test, 1 or 2", "1|2");

}  // namespace command_line
