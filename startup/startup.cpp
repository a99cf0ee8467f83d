#include "startup.h"

#include <QApplication>
#include <QStyle>
#include <QStyleFactory>
#include <QWidget>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace startup {

void followDesktopScaling() {
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
}

bool displayAvailable(int argc, char** argv) {
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(variable);
        if (value && *value) {
            return true;
        }
    }
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0) {
            return true;
        }
    }
    return false;
}

void applyWidgetStyle(QApplication& app) {
    for (const char* name : {"Plastique", "Fusion"}) {
        if (QStyle* style = QStyleFactory::create(name)) {
            app.setStyle(style);
            return;
        }
    }
    std::fprintf(stderr,
                 "Neither the Plastique nor the Fusion widget style is available; using "
                 "the platform default.\n");
}

int runProgram(int argc, char** argv, const ProgramInfo& info,
               const std::function<QWidget*(const drive_link::LinkSettings&)>& makeWindow) {
    // The trace goes to standard output: a terminal or pipe that goes away must not end a flash
    // or an Apply half-way. The lost trace lines are all it costs.
    std::signal(SIGPIPE, SIG_IGN);
    // Help, version, the adapter list and a refused option need no display, so they are
    // answered before the toolkit starts; without a display the toolkit would abort.
    const StartupChoice early = parseCommandLine(argc, argv, info, ToolkitOptions::StillInArgv);
    if (early.exitNow) {
        return early.exitCode;
    }
    if (!displayAvailable(argc, argv)) {
        std::fprintf(stderr,
                     "%s: no display to show the window on: DISPLAY and WAYLAND_DISPLAY are not "
                     "set. Start it from a desktop session.\n",
                     info.name);
        return 1;
    }
    followDesktopScaling();
    QApplication app(argc, argv);
    const StartupChoice choice = parseCommandLine(argc, argv, info);
    if (choice.exitNow) {
        return choice.exitCode;
    }
    applyWidgetStyle(app);
    installProvider(choice);
    QWidget* window = makeWindow(choice.link);
    window->show();
    return app.exec();
}

}  // namespace startup
