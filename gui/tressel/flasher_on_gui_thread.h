// The flasher's window as its workflows see it from the worker thread: every call made on the
// GUI thread, the worker waiting for its answer.
#pragma once

#include "flasher_front_end.h"
#include "on_gui_thread.h"

namespace flasher {

class FlasherOnGuiThread : public widgets::OnGuiThread<FlasherFrontEnd> {
public:
    using OnGuiThread::OnGuiThread;

    QString askFirmwareFile() override {
        return onGui([&] { return window().askFirmwareFile(); });
    }
    void imageAccepted() override {
        onGui([&] { window().imageAccepted(); });
    }
    void setFlashing(bool flashing) override {
        onGui([&] { window().setFlashing(flashing); });
    }
    void packetStarted(int packet, int packetCount) override {
        onGui([&] { window().packetStarted(packet, packetCount); });
    }
    void verifyStarted(int packetCount) override {
        onGui([&] { window().verifyStarted(packetCount); });
    }
    bool stopBeforeNextPacket() override {
        return onGui([&] { return window().stopBeforeNextPacket(); });
    }
};

}  // namespace flasher
