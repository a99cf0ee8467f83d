// The flashing station's window: one tile per fixture of a job opened read-only, its name and
// the image's SHA-256 in the title, and the shift's yield in a strip along the top.
#pragma once

#include <QLabel>
#include <QWidget>
#include <vector>

#include "job_file.h"
#include "shift_tally.h"
#include "tile_worker.h"

namespace gui_station {

class StationTile;

class StationWindow : public QWidget {
    Q_OBJECT
public:
    StationWindow(const station::Job& job, std::shared_ptr<station::SharedLog> log,
                  station::TileSettings settings, QWidget* parent = nullptr);

    StationTile* tile(int index) const { return tiles_.at(size_t(index)); }
    QString yieldText() const { return yieldStrip_->text(); }

private:
    void fileRecord(int tileIndex, const QJsonObject& record);
    void focusNextIdleTile(int after);

    std::vector<StationTile*> tiles_;
    std::vector<QString> tileAdapters_;  // the adapter each tile's records name
    ShiftTally shift_;                   // the strip's figures and the adapters' alarm
    QLabel* yieldStrip_;
};

}  // namespace gui_station
