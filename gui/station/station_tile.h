// One fixture's tile: its name, the unit-id field a barcode scanner types into, the phase, the
// progress, the attempt, and a big PASS or FAIL until the next scan. The work is the worker's.
#pragma once

#include <QFrame>
#include <memory>

#include "tile_worker.h"

namespace Ui {
class StationTile;
}

namespace gui_station {

class StationTile : public QFrame {
    Q_OBJECT
public:
    StationTile(station::TileWorker* worker, const QString& fixtureName, QWidget* parent = nullptr);
    ~StationTile() override;

    bool idle() const { return !worker_->running(); }
    // Takes the scanner's next line.
    void takeFocus();
    void markAlarm(bool alarmed);
    // What the operator reads, for the tests and a screenshot: the verdict and the phase.
    QString verdictText() const;
    QString phaseText() const;

signals:
    void unitStarted();

private:
    void scanned();
    void showPhase(int phase, int attempt);
    void showVerdict(bool passed, const QString& verdict);
    void askForPowerCycle(const QString& instructions);

    std::unique_ptr<Ui::StationTile> ui_;
    station::TileWorker* worker_;
};

}  // namespace gui_station
