// morvane: the configuration program for KMR drives running the Ferrox firmware.
#include <QApplication>

#include "drive_link.h"
#include "morvane.h"
#include "startup.h"

int main(int argc, char** argv) {
    drive_sim::SimOptions simDefaults;
    simDefaults.mode = drive_sim::DriveMode::Firmware;
    const ProgramInfo info{"morvane", "1.0.0",
                           "Configures KMR-20/30 drives running the Ferrox firmware.", simDefaults};
    // Help, version and a refused option need no display, so they are answered before the
    // toolkit starts.
    if (decidedWithoutWindow(argc, argv)) {
        return parseCommandLine(argc, argv, info).exitCode;
    }

    Q_INIT_RESOURCE(morvane);
    QApplication app(argc, argv);
    const StartupChoice choice = parseCommandLine(argc, argv, info);
    if (choice.exitNow) {
        return choice.exitCode;
    }
    applyWidgetStyle(app);
    installProvider(choice);
    setLinkDialect(LinkDialect::Firmware);

    // The window lives until the process ends; closing it closes the adapter.
    Morvane* window = new Morvane;
    window->show();
    window->resize(300, 400);
    const int exitCode = app.exec();
    Q_CLEANUP_RESOURCE(morvane);
    return exitCode;
}
