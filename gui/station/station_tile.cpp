#include "station_tile.h"

#include "ui_station_tile.h"

namespace gui_station {

namespace {
const char* const kPassStyle =
    "background: #1e9e3a; color: white; font-size: 40pt; font-weight: bold;";
const char* const kFailStyle =
    "background: #c62020; color: white; font-size: 16pt; font-weight: bold;";
const char* const kRequestStyle = "font-size: 18pt; font-weight: bold;";
}  // namespace

StationTile::StationTile(station::TileWorker* worker, const QString& fixtureName, QWidget* parent)
    : QFrame(parent), ui_(std::make_unique<Ui::StationTile>()), worker_(worker) {
    ui_->setupUi(this);
    ui_->fixtureName->setText(fixtureName);
    ui_->phase->setText(station::phaseText(station::TilePhase::Idle));
    connect(ui_->unitId, &QLineEdit::returnPressed, this, &StationTile::scanned);
    connect(worker_, &station::TileWorker::phaseChanged, this, &StationTile::showPhase);
    connect(worker_, &station::TileWorker::progressChanged, this, [this](int packet, int count) {
        ui_->progress->setMaximum(count);
        ui_->progress->setValue(packet);
    });
    connect(worker_, &station::TileWorker::unitFinished, this, &StationTile::showVerdict);
    // The verdict stays until the next scan; the phase of an idle tile says whether it can take
    // one.
    connect(worker_, &station::TileWorker::connectionChanged, this, [this](bool connected) {
        if (idle()) {
            ui_->phase->setText(station::phaseText(connected ? station::TilePhase::Idle
                                                             : station::TilePhase::NotConnected));
        }
    });
    connect(worker_, &station::TileWorker::powerCycleRequested, this,
            &StationTile::askForPowerCycle);
    connect(ui_->powerCycleDone, &QPushButton::clicked, this, [this] {
        ui_->powerCycleDone->hide();
        ui_->verdict->clear();
        worker_->powerCycleDone();
    });
}

StationTile::~StationTile() = default;

void StationTile::takeFocus() {
    ui_->unitId->setFocus();
    ui_->unitId->selectAll();
}

void StationTile::markAlarm(bool alarmed) {
    ui_->adapterAlarm->setText(alarmed ? "adapter alarm: this fixture fails more than the line"
                                       : QString());
}

QString StationTile::verdictText() const {
    return ui_->verdict->text();
}

QString StationTile::phaseText() const {
    return ui_->phase->text();
}

void StationTile::scanned() {
    const QString unit = ui_->unitId->text().trimmed();
    const QString refusal = worker_->startUnit(unit);
    if (!refusal.isEmpty()) {
        ui_->verdict->setStyleSheet(kRequestStyle);
        ui_->verdict->setText("Not started: " + refusal);
        return;
    }
    ui_->verdict->setStyleSheet({});
    ui_->verdict->clear();
    ui_->progress->setValue(0);
    emit unitStarted();
}

void StationTile::showPhase(int phase, int attempt) {
    ui_->phase->setText(station::phaseText(station::TilePhase(phase)));
    ui_->attempt->setText(QString("attempt %1").arg(attempt));
}

void StationTile::showVerdict(bool passed, const QString& verdict) {
    ui_->powerCycleDone->hide();
    ui_->phase->setText(
        station::phaseText(passed ? station::TilePhase::Passed : station::TilePhase::Failed));
    ui_->verdict->setStyleSheet(passed ? kPassStyle : kFailStyle);
    ui_->verdict->setText(passed ? verdict : "FAIL\n" + verdict);
}

void StationTile::askForPowerCycle(const QString& instructions) {
    ui_->verdict->setStyleSheet(kRequestStyle);
    ui_->verdict->setText(instructions);
    ui_->powerCycleDone->show();
    ui_->powerCycleDone->setFocus();
}

}  // namespace gui_station
