// Takes the manual's pictures of morvane from the real window on the simulated drive:
//   QT_QPA_PLATFORM=offscreen take_screenshots docs/manual
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>

#include "morvane.h"
#include "startup.h"

using drive_link::LinkDialect;
using drive_link::setLinkDialect;
using startup::applyWidgetStyle;
using startup::installProvider;
using startup::StartupChoice;

namespace {
QDir output;

void save(QWidget& widget, const char* name) {
    const QString path = output.filePath(name);
    const bool saved = widget.grab().save(path, "PNG");
    std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
}

// Pictures the next message box once it is up, then answers it with OK.
void pictureNextBox(const char* name) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, name] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            save(*box, name);
            box->done(QMessageBox::Ok);
        }
    });
    poll->start(20);
}
}  // namespace

int main(int argc, char** argv) {
    Q_INIT_RESOURCE(morvane);
    QApplication app(argc, argv);
    output = QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    applyWidgetStyle(app);
    StartupChoice simulated;
    simulated.simulate = true;
    installProvider(simulated);
    setLinkDialect(LinkDialect::Firmware);

    Morvane window;
    window.show();
    save(window, "morvane-start.png");
    pictureNextBox("connect-box.png");
    window.ui.connectButton->click();
    window.ui.axisTabs->setCurrentIndex(1);
    save(window, "morvane-axis2.png");
    pictureNextBox("diagnosis-box.png");
    window.ui.Drive_diagnosis->trigger();
    window.close();
    return 0;
}
