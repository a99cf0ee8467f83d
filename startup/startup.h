// What both programs do before their window opens: the command line, the D2XX provider
// (real adapter or simulated drive) and the widget style.
#pragma once

#include <functional>
#include <string>

#include "drive_link.h"
#include "sim_options.h"

class QApplication;
class QWidget;

struct ProgramInfo {
    const char* name;     // executable name, e.g. "morvane"
    const char* version;  // e.g. "1.0.0"
    const char* summary;  // one line for --help
    drive_sim::SimOptions simDefaults;
    LinkDialect dialect;
};

struct StartupChoice {
    bool exitNow = false;  // --help, --version or a refused option
    int exitCode = 0;
    bool simulate = false;
    drive_sim::SimOptions sim;
};

// True when the command line can be answered without a window: --help, --version, or a
// --simulate value that will be refused. Such a line is parsed before the application object
// exists, so that it works, and exits with its code, on a machine without a display.
bool decidedWithoutWindow(int argc, char** argv);

// Call after the application object has taken its own options out of argv.
// Reads --help, --version and --simulate[=KEY=VALUE,...]. Help and version go to standard
// output; a refused option gets a message on standard error and exit code 2.
StartupChoice parseCommandLine(int argc, char** argv, const ProgramInfo& info);

// Installs the simulated drive or the libftdi1 adapter as the D2XX provider.
void installProvider(const StartupChoice& choice);

// "Plastique" where the toolkit has it, otherwise "Fusion"; says so on standard error when
// neither exists and the platform default stays.
void applyWidgetStyle(QApplication& app);

// The whole life of a program: answers what needs no window, starts the toolkit, installs the
// provider, style and link dialect, shows the window `makeWindow` builds and runs until it
// closes. The window lives until the process ends; closing it closes the adapter.
int runProgram(int argc, char** argv, const ProgramInfo& info,
               const std::function<QWidget*()>& makeWindow);
