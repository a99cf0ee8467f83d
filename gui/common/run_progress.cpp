#include "run_progress.h"

#include "ui_run_progress.h"

namespace widgets {

RunProgress::RunProgress(QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::RunProgress>()) {
    ui_->setupUi(this);
    connect(ui_->stopButton, &QPushButton::clicked, this, &RunProgress::stopClicked);
    setVisible(false);
}

RunProgress::~RunProgress() = default;

void RunProgress::begin(bool stoppable) {
    ui_->progressBar->setRange(0, 0);
    ui_->stopButton->setEnabled(stoppable);
    setVisible(true);
}

void RunProgress::show(int done, int total) {
    ui_->progressBar->setRange(0, total);
    ui_->progressBar->setValue(done);
}

void RunProgress::end() {
    setVisible(false);
}

void RunProgress::disableStop() {
    ui_->stopButton->setEnabled(false);
}

}  // namespace widgets
