// What both screenshot tools share: their command line "[--scale=F] FOLDER", saving a widget's
// picture and answering the message boxes that come up while the windows work.
#pragma once

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QProgressBar>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace screenshots {

struct Run {
    QDir output;          // FOLDER, or FOLDER/scale-F/ at a scale
    bool scaled = false;  // only the windows are pictured then
};

// Reads the line before the application object is made: the scale becomes QT_SCALE_FACTOR, as a
// 200 % desktop would have the programs drawn, so every picture has F times the pixels.
inline Run readRun(int argc, char** argv) {
    Run run;
    QString folder = QDir::currentPath();
    QString scale;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument.startsWith("--scale=")) {
            scale = argument.mid(int(qstrlen("--scale=")));
        } else {
            folder = argument;
        }
    }
    run.output = QDir(folder);
    if (!scale.isEmpty()) {
        qputenv("QT_SCALE_FACTOR", scale.toLocal8Bit());
        run.scaled = true;
        run.output.mkpath("scale-" + scale);
        run.output.cd("scale-" + scale);
    }
    return run;
}

// Saves the widget's picture as `name` in the run's folder; no name: no picture.
inline void save(const Run& run, QWidget& widget, const char* name) {
    if (!name) {
        return;
    }
    const QString path = run.output.filePath(name);
    const bool saved = widget.grab().save(path, "PNG");
    std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(path));
}

// Pictures the next message box as `name` once it is up (or only answers it when `name` is
// null), then answers it with OK.
inline void answerNextBox(const Run& run, const char* name) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, run, name] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            poll->deleteLater();
            save(run, *box, name);
            box->done(QMessageBox::Ok);
        }
    });
    poll->start(20);
}

// Pictures `window` as `name` once, the first time its status bar's progress bar shows a
// sequence that is `fraction` done or more, while the sequence still runs on its worker thread.
inline void saveWhileRunning(const Run& run, QWidget& window, const char* name, double fraction) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, run, &window, name, fraction] {
        const auto* bar = window.findChild<QProgressBar*>("progressBar");
        if (bar && bar->isVisible() && bar->maximum() > 0 &&
            bar->value() >= fraction * bar->maximum()) {
            poll->deleteLater();
            save(run, window, name);
        }
    });
    poll->start(10);
}

}  // namespace screenshots
