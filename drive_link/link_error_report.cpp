#include "link_error_report.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QStatusBar>
#include <QWidget>

#include "drive_link.h"

bool reportLinkError(LinkErrorWindow& window, bool error) {
    bool lost = error;
    // Fetch the answers to the last two commands of the sequence and see the link still answers.
    transact(noOpCommand(), 0, lost);
    transact(noOpCommand(), 0, lost);
    if (!lost) {
        return false;
    }

    QWidget* parent = window.linkErrorParent();
    const char* context = parent->metaObject()->className();
    window.linkErrorStatusBar()->showMessage(
        QCoreApplication::translate(context, "Connection lost, reconnect."));
    QMessageBox::critical(parent, "CRC error",
                          QCoreApplication::translate(
                              context,
                              "Connection to drive lost, data checksum error. <br>Ensure that "
                              "you have sufficient noise shielding in cables."),
                          QMessageBox::Ok);
    window.setConnected(false);
    return true;
}
