// Takes the pictures of morvane in docs/ from the real window on the simulated drive: the
// manual's in docs/manual/, the response dialog with its tuning panel and the form with pending
// changes marked in docs/.
//   QT_QPA_PLATFORM=offscreen take_screenshots docs
#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
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
// A proposal above the assistant's 40 Hz default that still passes every check on the factory
// axis, so that the dashed prediction stands apart from the run.
constexpr double kPicturedBandwidthHz = 60.0;

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
    save(window, "manual/morvane-start.png");
    pictureNextBox("manual/connect-box.png");
    window.ui.connectButton->click();
    window.ui.axisTabs->setCurrentIndex(1);
    save(window, "manual/morvane-axis2.png");
    pictureNextBox("manual/diagnosis-box.png");
    window.ui.Drive_diagnosis->trigger();

    // A 100 ms test of axis 1 at the factory gains, then the assistant's proposal over it.
    window.ui.axisTabs->setCurrentIndex(0);
    window.ui.span_100_ms->trigger();
    window.ui.testButton->click();
    if (auto* bandwidth = window.plotDialog.findChild<QDoubleSpinBox*>("bandwidthBox")) {
        bandwidth->setValue(kPicturedBandwidthHz);
    }
    // Room for the panel's wrapped texts; the layout settles them before the picture.
    window.plotDialog.resize(1100, 640);
    QApplication::processEvents();
    save(window.plotDialog, "tuning-panel.png");

    // Three edits not yet applied: their captions in bold, the tab of axis 1 marked. The drive's
    // settings go back into the form afterwards, so that closing has nothing to ask.
    window.plotDialog.close();
    window.ui.contcurrM1->setValue(3000);
    window.ui.gainPM1->setValue(800);
    window.ui.antiditherM1->toggle();
    save(window, "morvane-marked.png");
    window.showSettings(*window.settingsOnDrive);
    window.close();
    return 0;
}
