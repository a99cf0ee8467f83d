#include "recording_front_end.h"

#include <QFileInfo>
#include <QStringList>

using namespace config_tool;
using namespace response;

void MorvaneRecorder::showSettings(const DriveSettings& settings) {
    QStringList values{QString("80=%1").arg(settings.flags)};
    for (size_t i = 0; i < settings.contents.size(); ++i) {
        values << QString("%1=%2").arg(axisSettings()[i].number).arg(settings.contents[i]);
    }
    form = settings;
    record_("form " + values.join(' '));
}

void MorvaneRecorder::setConnected(bool isConnected) {
    connection.setConnected(isConnected);
    Recording::setConnected(isConnected);
}

QString MorvaneRecorder::askSettingsFile(bool forSaving) {
    record_(QString(forSaving ? "ask save: " : "ask open: ") + fileAnswer);
    return fileAnswer;
}

bool MorvaneRecorder::mayReplace(const QString& name) {
    if (!QFileInfo::exists(name)) {
        return true;
    }
    record_(QString("ask replace %1: %2").arg(name, replaceAnswer ? "yes" : "no"));
    return replaceAnswer;
}

void MorvaneRecorder::showSpanLabel(const QString& label) {
    record_("span label: " + label);
}

StepCapture MorvaneRecorder::runSettings(int runAxis) {
    StepCapture capture;
    capture.axis = runAxis;
    capture.gainP = form.contents[size_t(runAxis * kSettingsPerAxis + kGainPIndex)];
    return capture;
}

void MorvaneRecorder::showCapture(const StepCapture& capture) {
    const CapturePoint& last = capture.points.back();
    record_(QString("capture axis %1, %2 ms, %3 points, last %4 A %5 A %6 counts")
                .arg(capture.axis)
                .arg(capture.spanMs)
                .arg(capture.points.size())
                .arg(double(last.targetAmps))
                .arg(double(last.achievedAmps))
                .arg(double(last.errorCounts)));
}

void MorvaneRecorder::waitMilliseconds(unsigned long milliseconds) {
    if (recordWaits) {
        record_(QString("wait %1 ms").arg(milliseconds));
    } else {
        MorvaneFrontEnd::waitMilliseconds(milliseconds);
    }
}

void MorvaneRecorder::keepCapture(StepCapture capture) {
    record_(QString("kept: figures %1, %2 %3 %4")
                .arg(capture.figuresRead ? "read" : "lost")
                .arg(capture.peakError)
                .arg(capture.undershoot)
                .arg(capture.settlingTimeMs));
}

QString FlasherRecorder::askFirmwareFile() {
    record_("ask open: " + fileAnswer);
    return fileAnswer;
}
