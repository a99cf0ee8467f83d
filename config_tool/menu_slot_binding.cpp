#include "menu_slot_binding.h"

#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace {
QtMessageHandler previousHandler = nullptr;

bool isActivatedSlotWarning(QtMsgType type, const QString& message) {
    static const QStringList kSlots = {
        "on_Quit_activated()",
        "on_About_Morvane_activated()",
        "on_Open_configuration_activated()",
        "on_Save_configuration_activated()",
        "on_Drive_diagnosis_activated()",
        "on_Open_help_PDF_activated()",
    };
    static const QString kPrefix = "QMetaObject::connectSlotsByName: No matching signal for ";
    return type == QtWarningMsg && message.startsWith(kPrefix) &&
           kSlots.contains(message.mid(kPrefix.size()));
}

void filterHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (isActivatedSlotWarning(type, message)) {
        return;
    }
    if (previousHandler) {
        previousHandler(type, context, message);
    }
}
}  // namespace

QuietActivatedSlotWarnings::QuietActivatedSlotWarnings() {
    previousHandler = qInstallMessageHandler(filterHandler);
}

QuietActivatedSlotWarnings::~QuietActivatedSlotWarnings() {
    qInstallMessageHandler(previousHandler);
    previousHandler = nullptr;
}
