// A settings file of any bytes, opened through the real window's Open action. The load either
// refuses the file with one message and leaves the form as it was, or loads it with one box per
// warning that the load without a window gives (the version's, one per parameter the document
// lacks or holds no content of its field, one per element given twice or naming no setting);
// every field stays in range.
#include <QAbstractSpinBox>
#include <QApplication>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <cmath>

#include "fuzz_check.h"
#include "morvane.h"
#include "settings_document.h"
#include "settings_form.h"
#include "settings_transfer.h"

using namespace config_tool;
using namespace widgets;

static void registerResources() {
    Q_INIT_RESOURCE(morvane);
}

namespace {
// Answers every message box as soon as it shows, and keeps its text.
class BoxAnswerer : public QObject {
public:
    QStringList texts;

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        auto* box = qobject_cast<QMessageBox*>(object);
        if (box && event->type() == QEvent::Show) {
            texts << box->text();
            QTimer::singleShot(0, box, &QDialog::accept);
        }
        return false;
    }
};

void dropPlatformNoise(QtMsgType, const QMessageLogContext&, const QString&) {}

Morvane* window = nullptr;
DriveSettings startForm;
BoxAnswerer* boxes = nullptr;

QStringList formValues() {
    const DriveSettings settings = settingsFromForm(window->ui);
    QStringList values{QString::number(settings.flags)};
    for (int content : settings.contents) {
        values << QString::number(content);
    }
    return values;
}

bool fieldsInRange() {
    for (QAbstractSpinBox* box : window->findChildren<QAbstractSpinBox*>()) {
        const double value = box->property("value").toDouble();
        if (!std::isfinite(value) || value < box->property("minimum").toDouble() ||
            value > box->property("maximum").toDouble()) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(dropPlatformNoise);
    new QApplication(*argc, *argv);
    registerResources();
    window = new Morvane;
    startForm = settingsFromForm(window->ui);
    boxes = new BoxAnswerer;
    qApp->installEventFilter(boxes);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = QString::fromStdString(writeScratchInput("frx", data, size));
    showSettingsInForm(window->ui, startForm);
    window->ui.statusbar->clearMessage();
    boxes->texts.clear();
    const QStringList before = formValues();
    window->askFileName = [path](QWidget*, const FileQuestion&) { return path; };
    window->ui.Open_configuration->trigger();

    const QStringList refusals = {"File read failed", "Not a Ferrox settings file",
                                  "File load failed"};
    FUZZ_CHECK(fieldsInRange(), "every field in range");
    if (boxes->texts.size() == 1 && refusals.contains(boxes->texts.first())) {
        FUZZ_CHECK(formValues() == before, "refused file leaves the form");
        FUZZ_CHECK(window->ui.statusbar->currentMessage().isEmpty(), "no status after a refusal");
        return 0;
    }
    // Loaded: one box per warning of the load without a window, in its order.
    FUZZ_CHECK(size <= size_t(kSettingsFileSizeLimit), "only small files load");
    QStringList expected;
    for (const SettingsWarning& warning :
         loadSettingsText(QByteArray(reinterpret_cast<const char*>(data), int(size))).warnings) {
        expected << warningMessage(warning, warning.text);
    }
    FUZZ_CHECK(boxes->texts == expected, "one box per warning of the load, in its order");
    FUZZ_CHECK(window->ui.statusbar->currentMessage() == "Configuration loaded", "loaded status");
    return 0;
}
