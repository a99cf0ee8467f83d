// Answers the modal boxes that a workflow opens, so that GUI tests run unattended, and records
// what each box said. It polls for the active modal widget from the moment it is constructed,
// so it is armed before the first box opens and goes on for the boxes that follow.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>
#include <ostream>
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
    ~MessageBoxWatcher() override;

    const std::vector<SeenBox>& boxes() const { return boxes_; }
    QStringList texts() const;
    void clear() { boxes_.clear(); }

    // Runs while a message box is open, before it is answered (e.g. to power-cycle the
    // simulated drive while the "Connecting" box is shown). Receives the box's index.
    void onBoxOpen(std::function<void(int index, QMessageBox* box)> hook);

    // Waits (running the event loop) until `count` boxes were seen or the time ran out.
    bool waitForBoxes(int count, int timeoutMs = 5000);

private:
    void poll();

    QTimer timer_;
    std::vector<SeenBox> boxes_;
    std::function<void(int, QMessageBox*)> hook_;
};

// gtest helpers: the boxes as "icon|title|text" lines, easy to compare and to read in a failure.
QString describeBox(const SeenBox& box);
QStringList describeBoxes(const MessageBoxWatcher& watcher);

// Readable Qt strings in gtest's failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << "{\n";
    for (const QString& text : list) {
        *os << "  \"" << text.toStdString() << "\"\n";
    }
    *os << "}";
}
