#include "station_window.h"

#include <QGridLayout>
#include <QVBoxLayout>

#include "port_watch.h"
#include "station_tile.h"

namespace gui_station {

namespace {
constexpr int kTilesPerRow = 4;
}  // namespace

StationWindow::StationWindow(const station::Job& job, std::shared_ptr<station::SharedLog> log,
                             station::TileSettings settings, QWidget* parent)
    : QWidget(parent), yieldStrip_(new QLabel(this)) {
    setWindowTitle(QString("%1 - image SHA-256 %2").arg(job.name, job.imageSha256));
    setObjectName("StationWindow");
    auto* layout = new QVBoxLayout(this);
    yieldStrip_->setObjectName("yieldStrip");
    yieldStrip_->setStyleSheet("font-size: 14pt;");
    layout->addWidget(yieldStrip_);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    auto* ports = new station::PortWatch(settings.portLookInterval, this);
    for (int index = 0; index < job.fixtures.size(); ++index) {
        auto* worker = new station::TileWorker(job, index, log, settings, this);
        auto* tile = new StationTile(worker, job.fixtures[index].name, this);
        grid->addWidget(tile, index / kTilesPerRow, index % kTilesPerRow);
        grid->setColumnStretch(index % kTilesPerRow, 1);  // a verdict's words do not widen a tile
        tiles_.push_back(tile);
        tileAdapters_.emplace_back();
        connect(tile, &StationTile::unitStarted, this, [this, index] { focusNextIdleTile(index); });
        connect(ports, &station::PortWatch::portsSeen, worker, &station::TileWorker::portsSeen);
        connect(worker, &station::TileWorker::recordFiled, this,
                [this, index](const QJsonObject& record) { fileRecord(index, record); });
    }
    yieldStrip_->setText(shift_.stripText());
    if (!tiles_.empty()) {
        tiles_.front()->takeFocus();
    }
}

void StationWindow::fileRecord(int tileIndex, const QJsonObject& record) {
    const QString adapter = shift_.file(record);
    if (!adapter.isEmpty()) {
        tileAdapters_[size_t(tileIndex)] = adapter;
    }
    for (size_t index = 0; index < tiles_.size(); ++index) {
        tiles_[index]->markAlarm(!tileAdapters_[index].isEmpty() &&
                                 shift_.alarmed(tileAdapters_[index]));
    }
    yieldStrip_->setText(shift_.stripText());
}

void StationWindow::focusNextIdleTile(int after) {
    const int count = int(tiles_.size());
    for (int step = 1; step <= count; ++step) {
        StationTile* next = tiles_[size_t((after + step) % count)];
        if (next->idle()) {
            next->takeFocus();
            return;
        }
    }
}

}  // namespace gui_station
