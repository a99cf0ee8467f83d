// A real adapter through libftdi1: the chosen FTDI device (the first one unless --adapter
// named another), in synchronous bit-bang.
#include <libftdi1/ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

#include "bit_bang_stream.h"
#include "ftdi_devices.h"
#include "provider.h"

namespace {
// Leaves the chip as a freshly plugged one: the bit mode reset puts it back in UART mode (TXD
// driven high, the other pins as the UART has them), and closing hands the interface back to
// the kernel's serial driver when it had one.
void releaseAdapter(ftdi_context* context) {
    ftdi_set_bitmode(context, 0, BITMODE_RESET);
    ftdi_usb_close(context);
    ftdi_free(context);
}

// A write shorter than one IN packet's data (a word, an idle byte) fits the chip's buffers with
// no read pending, and its read-back waits for the latency timer however it is read: it goes out
// as one transfer and is read through libftdi. Longer ones are streamed, their read-back asked
// for in whole packets so that a run padded to whole packets needs no timer.
constexpr DWORD kStreamedFromBytes = 62;

class LibftdiProvider : public D2xxProvider {
public:
    explicit LibftdiProvider(AdapterChoice choice) : choice_(std::move(choice)) {}

    ~LibftdiProvider() override {
        for (auto& [context, adapter] : open_) {
            adapter.stream.reset();
            releaseAdapter(context);
        }
    }

    FT_STATUS open(int deviceNumber, FT_HANDLE* handle) override {
        if (deviceNumber != 0 || !handle) {
            return FT_DEVICE_NOT_FOUND;
        }
        return openChosen(choice_, handle);
    }

    FT_STATUS openNamed(const std::string& name, DWORD flags, FT_HANDLE* handle) override {
        AdapterChoice choice;
        if (flags == FT_OPEN_BY_SERIAL_NUMBER) {
            choice.serial = name;
        } else if (flags == FT_OPEN_BY_PORT_PATH) {
            choice.portPath = name;
        }
        if (choice.isFirst()) {
            return FT_INVALID_PARAMETER;
        }
        return openChosen(choice, handle);
    }

    std::string openedSerial() const override {
        std::lock_guard<std::mutex> lock(mutex_);
        return openedSerial_;
    }

    std::string serialOf(FT_HANDLE handle) const override {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = open_.find(static_cast<ftdi_context*>(handle));
        return found == open_.end() ? std::string() : found->second.serial;
    }

    // Each look gets a context of its own: the bus is read while other threads work their
    // adapters through theirs.
    std::vector<std::string> presentPorts() override {
        std::vector<std::string> ports;
        ftdi_context* context = ftdi_new();
        if (!context) {
            return ports;
        }
        std::vector<libusb_device*> devices = findFtdiDevices(context);
        for (libusb_device* device : devices) {
            ports.push_back(portPathOf(device));
        }
        releaseDevices(devices);
        ftdi_free(context);
        return ports;
    }

    FT_STATUS close(FT_HANDLE handle) override {
        ftdi_context* context = find(handle);
        if (!context) {
            return FT_INVALID_HANDLE;
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            open_.erase(context);  // its stream first, while the chip is still open
        }
        releaseAdapter(context);
        return FT_OK;
    }

private:
    // Each adapter has a context of its own (and so its own libusb context): two adapters
    // opened at once are worked from two threads without sharing anything but the list below.
    FT_STATUS openChosen(const AdapterChoice& choice, FT_HANDLE* handle) {
        ftdi_context* context = ftdi_new();
        if (!context) {
            return FT_INSUFFICIENT_RESOURCES;
        }
        context->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
        std::vector<libusb_device*> devices = findFtdiDevices(context);
        libusb_device* device = pickDevice(devices, choice);
        if (!device && !choice.isFirst()) {
            std::fprintf(stderr, "No FTDI adapter with %s is plugged in.\n",
                         choice.describe().c_str());
        } else if (devices.size() > 1 && choice.isFirst()) {
            std::fprintf(stderr,
                         "%zu FTDI adapters are plugged in; using the first, at %s. Choose one "
                         "with --adapter.\n",
                         devices.size(), describeDevice(device).c_str());
        }
        const int result = device ? ftdi_usb_open_dev(context, device) : -1;
        if (device && result < 0) {
            explainFailedOpen(device, result);
        }
        releaseDevices(devices);
        if (result < 0) {
            ftdi_free(context);
            return device ? FT_DEVICE_NOT_OPENED : FT_DEVICE_NOT_FOUND;
        }
        if (!clearLeftovers(context)) {
            releaseAdapter(context);
            return FT_IO_ERROR;
        }
        const std::string serial = serialThrough(context->usb_dev);
        std::lock_guard<std::mutex> lock(mutex_);
        open_[context].serial = serial;
        openedSerial_ = serial;
        *handle = context;
        return FT_OK;
    }

public:
    FT_STATUS read(FT_HANDLE handle, void* buffer, DWORD toRead, DWORD* returned) override {
        ftdi_context* context = find(handle);
        if (returned) {
            *returned = 0;
        }
        if (!context || !buffer) {
            return FT_INVALID_HANDLE;
        }
        // ftdi_read_data returns what has arrived, often nothing; wait like D2XX until all
        // bytes are in or the read time-out expired.
        auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(readTimeoutOf(context));
        auto* bytes = static_cast<unsigned char*>(buffer);
        Adapter& adapter = adapterOf(context);
        bool streamFailed = false;
        if (adapter.stream) {
            adapter.stream->collect(toRead, deadline);
            streamFailed = !adapter.stream->healthy();
            adapter.stream.reset();
        }
        const DWORD early = DWORD(std::min<size_t>(adapter.received.size(), toRead));
        std::copy_n(adapter.received.begin(), early, bytes);
        adapter.received.erase(adapter.received.begin(), adapter.received.begin() + early);
        DWORD got = early;
        if (streamFailed) {
            if (returned)
                *returned = got;
            return FT_IO_ERROR;
        }
        while (got < toRead) {
            int n = ftdi_read_data(context, bytes + got, int(toRead - got));
            if (n < 0) {
                if (returned)
                    *returned = got;
                return FT_IO_ERROR;
            }
            got += DWORD(n);
            if (got < toRead) {
                if (std::chrono::steady_clock::now() >= deadline)
                    break;
                if (n == 0)
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
        if (returned) {
            *returned = got;
        }
        return FT_OK;
    }

    FT_STATUS write(FT_HANDLE handle, const void* buffer, DWORD toWrite, DWORD* written) override {
        ftdi_context* context = find(handle);
        if (written) {
            *written = 0;
        }
        if (!context || !buffer) {
            return FT_INVALID_HANDLE;
        }
        const auto* bytes = static_cast<const unsigned char*>(buffer);
        Adapter& adapter = adapterOf(context);
        if (toWrite >= kStreamedFromBytes || adapter.stream) {
            return writeStreamed(context, adapter, bytes, toWrite, written);
        }
        DWORD sent = 0;
        while (sent < toWrite) {
            int n = ftdi_write_data(context, bytes + sent, int(toWrite - sent));
            if (n <= 0) {
                if (written)
                    *written = sent;
                return FT_IO_ERROR;
            }
            sent += DWORD(n);
        }
        if (written) {
            *written = sent;
        }
        return FT_OK;
    }

    FT_STATUS setBaudRate(FT_HANDLE handle, ULONG baudRate) override {
        ftdi_context* context = find(handle);
        if (!context)
            return FT_INVALID_HANDLE;
        // The chip gets the divisor of the plain rate whether the bit mode is set before or after
        // the rate: libftdi multiplies the rate by 4 only once bit-bang is on, so only then is
        // it divided here.
        const ULONG quarter = baudRate / 4 ? baudRate / 4 : 1;
        const int rate = int(context->bitbang_enabled ? quarter : baudRate);
        adapterOf(context).bytesPerSecond = 0;  // another rate, another byte clock
        return ftdi_set_baudrate(context, rate) < 0 ? FT_INVALID_BAUD_RATE : FT_OK;
    }

    FT_STATUS setTimeouts(FT_HANDLE handle, ULONG readTimeoutMs, ULONG writeTimeoutMs) override {
        ftdi_context* context = find(handle);
        if (!context)
            return FT_INVALID_HANDLE;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            open_[context].readTimeoutMs = readTimeoutMs;
        }
        context->usb_read_timeout = int(readTimeoutMs);
        context->usb_write_timeout = int(writeTimeoutMs);
        return FT_OK;
    }

    FT_STATUS setLatencyTimer(FT_HANDLE handle, UCHAR latencyMs) override {
        ftdi_context* context = find(handle);
        if (!context)
            return FT_INVALID_HANDLE;
        return ftdi_set_latency_timer(context, latencyMs) < 0 ? FT_IO_ERROR : FT_OK;
    }

    FT_STATUS setBitMode(FT_HANDLE handle, UCHAR mask, UCHAR mode) override {
        ftdi_context* context = find(handle);
        if (!context)
            return FT_INVALID_HANDLE;
        unsigned char ftdiMode = mode == 4   ? BITMODE_SYNCBB
                                 : mode == 1 ? BITMODE_BITBANG
                                             : BITMODE_RESET;
        if (ftdi_set_bitmode(context, mask, ftdiMode) < 0)
            return FT_IO_ERROR;
        Adapter& adapter = adapterOf(context);
        adapter.stream.reset();
        adapter.received.clear();
        return ftdi_tcioflush(context) < 0 ? FT_IO_ERROR : FT_OK;
    }

    FT_STATUS getBitMode(FT_HANDLE handle, UCHAR* mode) override {
        ftdi_context* context = find(handle);
        if (!context || !mode)
            return FT_INVALID_HANDLE;
        return ftdi_read_pins(context, mode) < 0 ? FT_IO_ERROR : FT_OK;
    }

private:
    // What another program may have left behind: a bulk endpoint halted (libftdi never clears
    // one) and a bit mode the chip keeps until it is reset.
    static bool clearLeftovers(ftdi_context* context) {
        return libusb_clear_halt(context->usb_dev, uint8_t(context->in_ep)) == 0 &&
               libusb_clear_halt(context->usb_dev, uint8_t(context->out_ep)) == 0 &&
               ftdi_set_bitmode(context, 0, BITMODE_RESET) == 0;
    }

    ftdi_context* find(FT_HANDLE handle) const {
        auto* context = static_cast<ftdi_context*>(handle);
        std::lock_guard<std::mutex> lock(mutex_);
        return open_.count(context) ? context : nullptr;
    }

    ULONG readTimeoutOf(ftdi_context* context) const {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = open_.find(context);
        return found == open_.end() ? 0 : found->second.readTimeoutMs;
    }

    // What the chip reads back arrives in the stream's IN transfers while the write goes on,
    // for the read that follows.
    struct Adapter {
        std::string serial;
        ULONG readTimeoutMs = 1000;
        std::deque<uint8_t> received;  // before anything libftdi has not handed out yet
        std::unique_ptr<BitBangStream> stream;
        // The byte clock the streams measured at the rate set; 0 until one did.
        double bytesPerSecond = 0;
    };

    // A handle is worked by one thread at a time; the lock guards only the list, whose entries
    // stay where they are while others come and go.
    Adapter& adapterOf(ftdi_context* context) {
        std::lock_guard<std::mutex> lock(mutex_);
        return open_[context];
    }

    FT_STATUS writeStreamed(ftdi_context* context, Adapter& adapter, const unsigned char* bytes,
                            DWORD toWrite, DWORD* written) {
        if (!adapter.stream) {
            // What libftdi holds from an earlier read came first on the wire.
            std::vector<unsigned char> held(context->readbuffer_remaining);
            const int n = held.empty() ? 0 : ftdi_read_data(context, held.data(), int(held.size()));
            adapter.received.insert(adapter.received.end(), held.begin(),
                                    held.begin() + std::max(n, 0));
            adapter.stream = std::make_unique<BitBangStream>(
                // libftdi names endpoints from the chip's side: in_ep takes the host's bytes.
                context->usb_ctx, context->usb_dev, uint8_t(context->in_ep),
                uint8_t(context->out_ep), int(context->max_packet_size), adapter.received,
                adapter.bytesPerSecond);
        }
        const size_t taken =
            adapter.stream->write(bytes, toWrite, unsigned(context->usb_write_timeout));
        if (written) {
            *written = DWORD(taken);
        }
        return taken == toWrite && adapter.stream->healthy() ? FT_OK : FT_IO_ERROR;
    }

    AdapterChoice choice_;
    mutable std::mutex mutex_;
    std::string openedSerial_;
    std::map<ftdi_context*, Adapter> open_;
};
}  // namespace

std::unique_ptr<D2xxProvider> makeLibftdiProvider(const std::string& adapter) {
    return std::make_unique<LibftdiProvider>(AdapterChoice::parse(adapter));
}

int listLibftdiAdapters(std::FILE* out) {
    ftdi_context* context = ftdi_new();
    if (!context) {
        return -1;
    }
    int count = printFtdiDevices(context, out);
    ftdi_free(context);
    return count;
}

int countLibftdiAdapters() {
    ftdi_context* context = ftdi_new();
    if (!context) {
        return -1;
    }
    std::vector<libusb_device*> devices = findFtdiDevices(context);
    const int count = int(devices.size());
    releaseDevices(devices);
    ftdi_free(context);
    return count;
}
