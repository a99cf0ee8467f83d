#include "station_window.h"

#include <QGridLayout>
#include <QJsonDocument>
#include <QVBoxLayout>
#include <cmath>

#include "exit_codes.h"
#include "line_figures.h"
#include "port_watch.h"
#include "station_tile.h"

namespace gui_station {

namespace {
constexpr int kTilesPerRow = 4;

QString percent(const std::optional<double>& share) {
    return share ? QString("%1 %").arg(std::round(*share * 1000) / 10) : QString("-");
}
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
    fileRecord(-1, {});
    if (!tiles_.empty()) {
        tiles_.front()->takeFocus();
    }
}

// The strip reads the records as the line report reads a log: the same figures and alarm.
void StationWindow::fileRecord(int tileIndex, const QJsonObject& record) {
    line_report::RunRecord parsed;
    if (tileIndex >= 0 && line_report::parseRecordLine(
                              QJsonDocument(record).toJson(QJsonDocument::Compact), parsed)) {
        records_.push_back(parsed);
        tileAdapters_[size_t(tileIndex)] = parsed.adapter;
    }
    const line_report::LineFigures figures =
        line_report::summarize(records_, 0, command_line::exitClassName);
    QStringList alarmed;
    for (size_t index = 0; index < tiles_.size(); ++index) {
        bool alarm = false;
        for (const line_report::AdapterFigures& adapter : figures.adapters) {
            alarm |= adapter.alarm && adapter.adapter == tileAdapters_[index];
        }
        tiles_[index]->markAlarm(alarm);
        if (alarm) {
            alarmed += tileAdapters_[index];
        }
    }
    yieldStrip_->setText(
        QString("units %1   first-pass yield %2   final yield %3   adapter alarm: %4")
            .arg(figures.units)
            .arg(percent(figures.firstPassYield), percent(figures.finalYield),
                 alarmed.isEmpty() ? QString("none") : alarmed.join(", ")));
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
