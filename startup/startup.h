// What both programs do around their window: the display check, the widget style and the
// window's whole life, on top of the options judged in startup_options.h.
#pragma once

#include <functional>

#include "program_help.h"
#include "provider_choice.h"
#include "startup_options.h"

class QApplication;
class QWidget;

namespace startup {

// Has Qt 5 draw at the desktop's scale (a 200 % screen gets twice the pixels, not a half-size
// window) and keep pixmaps sharp there; Qt 6 always does. Must run before the application object
// is made.
void followDesktopScaling();

// Whether a window can be shown: a display named by DISPLAY or WAYLAND_DISPLAY, or a platform
// chosen with QT_QPA_PLATFORM or -platform.
bool displayAvailable(int argc, char** argv);

// "Plastique" where the toolkit has it, otherwise "Fusion"; says so on standard error when
// neither exists and the platform default stays.
void applyWidgetStyle(QApplication& app);

// The whole life of a program: answers what needs no window, starts the toolkit, installs the
// provider and style, shows the window `makeWindow` builds for the link the options chose and runs
// until it closes. The window lives until the process ends; closing it closes the adapter.
int runProgram(int argc, char** argv, const ProgramInfo& info,
               const std::function<QWidget*(const drive_link::LinkSettings&)>& makeWindow);

}  // namespace startup
