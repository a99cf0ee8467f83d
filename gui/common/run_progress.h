// The progress bar and Stop button a window shows in its status bar while a drive sequence
// runs; hidden otherwise.
#pragma once

#include <QWidget>
#include <memory>

namespace Ui {
class RunProgress;
}

namespace widgets {

class RunProgress : public QWidget {
    Q_OBJECT

public:
    explicit RunProgress(QWidget* parent = nullptr);
    ~RunProgress() override;

    // A sequence starts; `stoppable`: the Stop button may be pressed.
    void begin(bool stoppable);
    // `done` of `total` steps; a total of 0 shows that the work goes on without a measure.
    void show(int done, int total);
    void end();
    void disableStop();

signals:
    void stopClicked();

private:
    std::unique_ptr<Ui::RunProgress> ui_;
};

}  // namespace widgets
