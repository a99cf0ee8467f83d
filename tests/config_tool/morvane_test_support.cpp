#include "morvane_test_support.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QSpinBox>
#include <QtTest/QTest>
#include <cstdio>

#include "drive_link.h"

// Q_INIT_RESOURCE declares its function in the enclosing namespace, so this stays outside the
// anonymous one.
static void registerResources() {
    Q_INIT_RESOURCE(morvane);
}

namespace {

// The images of the form are compiled into the window library; the program registers them at
// start, and so does this suite.
class MorvaneEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        registerResources();
        setLinkDialect(LinkDialect::Firmware);
    }
};
::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new MorvaneEnvironment);

std::string frameLine(const drive_sim::FrameRecord& record) {
    char line[64];
    std::snprintf(line, sizeof line, "%03d,%05d  %08X\n", record.command, record.value,
                  record.lineReply);
    return line;
}
}  // namespace

void PrintTo(const Frame& frame, std::ostream* os) {
    *os << "{" << frame.command << "," << frame.value << "}";
}

Frames framesSince(const std::vector<drive_sim::FrameRecord>& log, size_t start) {
    Frames frames;
    for (size_t i = start; i < log.size(); ++i) {
        frames.push_back({log[i].command, log[i].value});
    }
    return frames;
}

int tracedTransactions(const std::string& out) {
    int count = 0;
    for (const QString& line : QString::fromStdString(out).split('\n')) {
        count += line.size() > 9 && line[3] == ',' && line[9] == ' ';
    }
    return count;
}

Frames operator+(Frames a, const Frames& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Frames noOps(int count) {
    return Frames(size_t(count), Frame{2, 0});
}
Frames readOf(uint16_t number) {
    return Frames{{52, number}} + noOps(2);
}
Frames writeOf(uint16_t number, uint16_t value) {
    return {{50, value}, {51, number}};
}
Frames drain() {
    return noOps(2);
}

std::vector<uint16_t> settingNumbers() {
    return {80,   410,  411,  20,   401,  402,  61,   202,  200, 201,
            8510, 8511, 8120, 8501, 8502, 8161, 8302, 8300, 8301};
}

Frames connectFrames() {
    Frames frames = noOps(3) + readOf(6020) + readOf(6010) + readOf(6012) + drain();
    for (uint16_t number : settingNumbers()) {
        frames = frames + readOf(number);
    }
    return frames + drain();
}

void editFormForApply(Morvane& window) {
    window.ui.gainPM1->setValue(450);
    window.ui.inductanceM2->setValue(0.05);
    window.ui.resistanceM1->setValue(50.00);
    window.ui.slaveAxisM2->setChecked(true);
    window.ui.invertM1->setChecked(false);
}

ParamWrites editedFormWrites() {
    return {{80, 0x4004}, {410, 2600},  {411, 6000}, {20, 800},  {401, 375},
            {402, 5000},  {61, 4},      {202, 700},  {200, 450}, {201, 120},
            {8510, 2400}, {8511, 5500}, {8120, 900}, {8501, 8},  {8502, 92},
            {8161, 2},    {8302, 680},  {8300, 600}, {8301, 110}};
}

// Disable, the settings, drain; store, clear faults, enable, drain.
Frames applyFrames(const ParamWrites& writes) {
    Frames frames{{0, 1}};
    for (const auto& write : writes) {
        frames = frames + writeOf(write.first, write.second);
    }
    return frames + drain() + Frames{{3, 0}, {20, 0xFFFF}, {0, 2}} + drain();
}

TraceScript& TraceScript::frames(int count) {
    for (int i = 0; i < count; ++i) {
        frameLine();
    }
    return *this;
}

TraceScript& TraceScript::read(uint16_t number) {
    if (next_ >= log_.size() || log_[next_].command != 52 || log_[next_].value != number) {
        matched_ = false;
    }
    frames(3);
    const uint32_t reply = next_ > 0 && next_ <= log_.size() ? log_[next_ - 1].lineReply : 0;
    text_ += std::to_string(number) + "=" + std::to_string((reply >> 8) & 0xFFFF) + "\n";
    return *this;
}

TraceScript& TraceScript::write(uint16_t number, uint16_t value) {
    text_ += "Setparam " + std::to_string(number) + " = " + std::to_string(value) + "\n";
    if (next_ + 1 >= log_.size() || log_[next_].command != 50 || log_[next_].value != value ||
        log_[next_ + 1].command != 51 || log_[next_ + 1].value != number) {
        matched_ = false;
    }
    return frames(2);
}

void TraceScript::frameLine() {
    if (next_ >= log_.size()) {
        matched_ = false;
        return;
    }
    text_ += ::frameLine(log_[next_++]);
}

const QString kConnectingBox =
    "information|Connecting|USB adapter found. <br><br><b>Restart drive logic voltage now</b> to "
    "estabilish  connection:<br>&nbsp;&nbsp;1. Power-off drive logic voltage (if "
    "powered)<br>&nbsp;&nbsp;2. Power-up drive logic voltage<br>&nbsp;&nbsp;3. Press "
    "Ok<br><br><b>Make sure</b> there is nothing connected to CMD connector <b>and</b> USB adapter "
    "is connected to SPI connector.";

const QString kLinkLostBox =
    "critical|CRC error|Connection to drive lost, data checksum error. <br>Ensure that you have "
    "sufficient noise shielding in cables.";

const QString kSettingsErrorBox =
    "warning|Settings error|<i>Continuous current</i> can't be greater than <i>peak "
    "current</i>.<br>Correct your settings.";

bool clickConnect(Morvane& window) {
    QTest::mouseClick(window.ui.connectButton, Qt::LeftButton);
    return window.connected;
}

QStringList formValues(Morvane& window) {
    QStringList values;
    for (QSpinBox* box : window.findChildren<QSpinBox*>()) {
        values << box->objectName() + "=" + QString::number(box->value());
    }
    for (QDoubleSpinBox* box : window.findChildren<QDoubleSpinBox*>()) {
        values << box->objectName() + "=" + QString::number(box->value(), 'f', 2);
    }
    for (QCheckBox* box : window.findChildren<QCheckBox*>()) {
        values << box->objectName() + "=" + QString::number(int(box->checkState()));
    }
    values.sort();
    return values;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QByteArray();
    }
    return file.readAll();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

namespace {
void answerFilePrompt(Morvane& window, const QString& path) {
    window.askFileName = [path](QWidget*, const FileQuestion&) { return path; };
}
}  // namespace

void saveSettingsAs(Morvane& window, const QString& path) {
    answerFilePrompt(window, path);
    window.ui.Save_configuration->trigger();
}

void openSettings(Morvane& window, const QString& path) {
    answerFilePrompt(window, path);
    window.ui.Open_configuration->trigger();
}
