// Answers the modal boxes that a workflow opens, so that GUI tests run unattended, and records
// what each box said. It polls for the active modal widget from the moment it is constructed,
// so it is armed before the first box opens and goes on for the boxes that follow.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>
#include <vector>

struct SeenBox {
    QMessageBox::Icon icon;
    QString title;
    QString text;
    QWidget* parent;
};

class MessageBoxWatcher : public QObject {
    Q_OBJECT

public:
    MessageBoxWatcher();

    const std::vector<SeenBox>& boxes() const { return boxes_; }
    void clear() { boxes_.clear(); }
    // The button to press on a box that has it; OK (or accepting the box) otherwise.
    void answerWith(QMessageBox::StandardButton button) { answer_ = button; }

    // Waits (running the event loop) until `count` boxes were seen or the time ran out.
    bool waitForBoxes(int count, int timeoutMs = 5000);

private:
    void poll();

    QTimer timer_;
    std::vector<SeenBox> boxes_;
    QMessageBox::StandardButton answer_ = QMessageBox::Ok;
};

// The box as "icon|title|text", easy to compare and to read in a failure.
QString describeBox(const SeenBox& box);
