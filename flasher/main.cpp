// tressel: the firmware flasher for KMR drives in bootloader mode.
#include <QApplication>

#include "drive_link.h"
#include "flasher_window.h"
#include "startup.h"

int main(int argc, char** argv) {
    drive_sim::SimOptions simDefaults;
    simDefaults.mode = drive_sim::DriveMode::Bootloader;
    const ProgramInfo info{"tressel", "2.0",
                           "Writes a .vlf firmware image into a KMR drive through its bootloader.",
                           simDefaults};
    // Help and version need no display, so they are answered before the toolkit starts.
    if (decidedWithoutWindow(argc, argv)) {
        return parseCommandLine(argc, argv, info).exitCode;
    }

    Q_INIT_RESOURCE(tressel);
    QApplication app(argc, argv);
    const StartupChoice choice = parseCommandLine(argc, argv, info);
    if (choice.exitNow) {
        return choice.exitCode;
    }
    applyWidgetStyle(app);
    installProvider(choice);
    setLinkDialect(LinkDialect::Bootloader);

    // The window lives until the process ends; closing it closes the adapter.
    Morvane* window = new Morvane;
    window->show();
    const int exitCode = app.exec();
    Q_CLEANUP_RESOURCE(tressel);
    return exitCode;
}
