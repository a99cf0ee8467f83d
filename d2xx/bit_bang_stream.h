// A long write to an FTDI chip in synchronous bit-bang, with reads kept pending throughout.
// The chip clocks a byte onto its pins only while its chip-to-host buffer has room for the byte
// it reads back, and takes bytes from the host only while its host-to-chip buffer has room: a
// write longer than those buffers stalls unless the host keeps reading. The stream writes in
// chunks, as many in flight as the chip clocks in a tenth of a second (at least three packets),
// so it never starves and each chunk finishes well inside the write time-out at any byte clock;
// the byte clock measured on one run is kept for the next, which then starts at full speed;
// meanwhile IN transfers collect the read-back, stripped of the modem-status bytes, for the
// reads that follow. Each IN transfer asks for no more packets than the bytes still due fill,
// so a run padded to whole packets ends without waiting for the chip's latency timer.
#pragma once

#include <libusb.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

class BitBangStream {
public:
    using Clock = std::chrono::steady_clock;

    // The read-back goes to `received`, which must outlive the stream. `bytesPerSecond` is the
    // byte clock measured on the adapter's earlier runs (0: not yet), raised as this run
    // measures it; it must outlive the stream too.
    BitBangStream(libusb_context* usb, libusb_device_handle* device, uint8_t outEndpoint,
                  uint8_t inEndpoint, int packetSize, std::deque<uint8_t>& received,
                  double& bytesPerSecond);
    // Stops the reads, keeping what they brought.
    ~BitBangStream();
    BitBangStream(const BitBangStream&) = delete;
    BitBangStream& operator=(const BitBangStream&) = delete;

    // Writes `length` bytes; each chunk may take `timeoutMs`. Returns how many bytes the chip
    // took; fewer than `length` when a chunk timed out or the device failed.
    size_t write(const uint8_t* data, size_t length, unsigned timeoutMs);
    // Waits until `received` holds `wanted` bytes, a read failed, or `deadline`.
    void collect(size_t wanted, Clock::time_point deadline);
    // False once a transfer failed for another reason than a time-out (e.g. the device is gone).
    bool healthy() const { return healthy_; }

private:
    struct Transfer;
    static void LIBUSB_CALL onOut(libusb_transfer* transfer);
    static void LIBUSB_CALL onIn(libusb_transfer* transfer);
    // Handles USB events for up to `wait`.
    void handleEvents(std::chrono::microseconds wait);
    // Submits the idle IN transfers while read-back is due that no transfer asks for yet.
    void submitReads();
    void stopReading();
    // Bytes to keep in flight by the byte clock measured so far, on this run or earlier ones.
    size_t inFlightBudget(Clock::time_point started) const;
    // The byte clock this write has shown, once it took enough bytes to tell; else 0.
    double measuredBytesPerSecond(Clock::time_point started) const;

    libusb_context* usb_;
    libusb_device_handle* device_;
    uint8_t outEndpoint_;
    uint8_t inEndpoint_;
    int packetSize_;
    std::deque<uint8_t>& received_;
    double& bytesPerSecond_;
    std::vector<libusb_transfer*> ins_;
    std::vector<libusb_transfer*> outs_;  // in flight
    std::vector<std::vector<uint8_t>> inBuffers_;
    std::vector<bool> inBusy_;
    std::vector<size_t> inAsked_;  // read-back bytes each busy IN transfer is to bring
    int insInFlight_ = 0;
    size_t due_ = 0;          // read-back bytes written for that no IN transfer asks yet
    size_t taken_ = 0;        // bytes of the current write the chip took
    bool outFailed_ = false;  // a chunk of the current write ended short
    bool stopping_ = false;
    bool healthy_ = true;
};
