#include "platform/LibFtdiDriver.h"

#include <libftdi1/ftdi.h>
#include <libusb-1.0/libusb.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <iostream>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace platform {

namespace {

struct ContextDeleter {
    void operator()(ftdi_context* ctx) const { ftdi_free(ctx); }
};
using Context = std::unique_ptr<ftdi_context, ContextDeleter>;

// Frees the device list before the context that owns its devices goes away.
struct DeviceList {
    ftdi_device_list* head = nullptr;
    DeviceList() = default;
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;
    ~DeviceList() { ftdi_list_free(&head); }
};

FtStatus Check(int ret) {
    return ret < 0 ? FtIoError : FtOk;
}

uint32_t PackVersion(int major, int minor, int micro) {
    return (static_cast<uint32_t>(major & 0xFF) << 16) |
           (static_cast<uint32_t>(minor & 0xFF) << 8) | static_cast<uint32_t>(micro & 0xFF);
}

int ClampToInt(uint32_t value) {
    return static_cast<int>(std::min<uint32_t>(value, INT_MAX));
}

// The chip's modem byte carries CTS 0x10, DSR 0x20, RI 0x40, DCD 0x80 (its low nibble is
// reserved); the line byte above it OE 0x02, PE 0x04, FE 0x08, BI 0x10. Only those go out.
constexpr uint32_t kModemStatusBits = 0xF0;
constexpr uint32_t kLineErrorBits = FtLineOverrun | FtLineParity | FtLineFraming | FtLineBreak;

constexpr uint32_t kMaxTransferSize = 65536;
constexpr unsigned kReaderTimeoutMs = 1000;

std::string ErrorName(int ret) {
    return libusb_error_name(ret);
}

// libftdi reports any refused open alike; libusb tells a user without the rights to the device
// (not in the group the udev rule gives it to) from a device held by another program.
FtStatus WhyNotOpened(libusb_device* dev) {
    libusb_device_handle* probe = nullptr;
    const int ret = libusb_open(dev, &probe);
    if (ret == 0) libusb_close(probe);
    return ret == LIBUSB_ERROR_ACCESS ? FtAccessDenied : FtDeviceNotOpened;
}

} // namespace

// An open chip, and the thread that takes what it sends into the receive buffer. A chip holds
// only 256 received bytes and sends them only when asked, so without a reader of its own a
// device that streams would lose bytes whenever the program is busy elsewhere (the vendor's
// driver reads in the kernel for the same reason).
struct LibFtdiDriver::Device {
    Device(FtHandle h, const LibFtdiDriverOptions& o) : handle(h), options(o) {}
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    const FtHandle handle;
    const LibFtdiDriverOptions& options; // the driver's, which outlives its devices
    Context ctx;
    uint32_t readMs = 0; // the caller's thread only

    std::mutex mutex;
    std::condition_variable changed; // bytes came, the device ended, or a stop
    // Guarded by mutex, down to stop.
    std::deque<uint8_t> rx;
    FtStatus end = FtOk;     // set once: FtDeviceNotFound unplugged, FtIoError given up
    uint32_t lineErrors = 0; // since the last GetModemStatus, in its bit layout
    bool dropping = false;   // the buffer overflowed since the program last emptied it
    std::deque<std::chrono::steady_clock::time_point> failures; // within the window
    bool stop = false;
    std::atomic<uint32_t> inSize{0}; // bytes of a bulk read, whole packets
    std::thread reader;

    // libftdi names the endpoint it reads from out_ep, the one it writes to in_ep.
    unsigned char InEndpoint() const { return static_cast<unsigned char>(ctx->out_ep); }
    unsigned char OutEndpoint() const { return static_cast<unsigned char>(ctx->in_ep); }

    void Start() {
        inSize = ctx->readbuffer_chunksize;
        reader = std::thread([this] { ReadLoop(); });
    }
    void StopReader() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stop = true;
        }
        changed.notify_all();
        if (reader.joinable()) reader.join();
    }
    ~Device() {
        StopReader();
        if (ctx && ctx->usb_dev) ftdi_usb_close(ctx.get());
    }

    void Log(const std::string& text) const {
        const std::string line = "USB device " + std::to_string(handle) + ": " + text;
        if (options.log)
            options.log(line);
        else
            std::cerr << line << std::endl;
    }

    FtStatus EndStatus() {
        std::lock_guard<std::mutex> lock(mutex);
        return end != FtOk ? end : FtIoError;
    }

    // The device is done for: every data call gives `status` once the bytes received are
    // taken. The log has the reason before any caller sees the end. Always false, for the
    // callers' returns.
    bool End(FtStatus status, const std::string& why) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (end != FtOk) return false;
            Log(why);
            end = status;
        }
        changed.notify_all();
        return false;
    }

    // After a failed transfer on `endpoint`: true when it may be tried again (on a stall once
    // the halt is cleared, in any case after a pause), false when the device has ended.
    bool Recover(int ret, unsigned char endpoint, const std::string& what) {
        using namespace std::chrono;
        if (ret == LIBUSB_ERROR_NO_DEVICE)
            return End(FtDeviceNotFound, "unplugged (" + ErrorName(ret) + " on a " + what + ")");
        bool giveUp = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (end != FtOk) return false;
            const auto now = steady_clock::now();
            failures.push_back(now);
            // The failure just now always counts, also in a window of 0 ms.
            while (failures.size() > 1 && now - failures.front() >= options.failureWindow)
                failures.pop_front();
            giveUp = static_cast<int>(failures.size()) >= options.failuresToEnd;
        }
        if (giveUp) {
            return End(FtIoError,
                       std::to_string(options.failuresToEnd) + " failed transfers within " +
                           std::to_string(options.failureWindow.count()) + " ms, the last a " +
                           what + " (" + ErrorName(ret) + "): the device is given up");
        }
        std::string line = what + " failed (" + ErrorName(ret) + ")";
        if (ret == LIBUSB_ERROR_PIPE) {
            const int cleared = libusb_clear_halt(ctx->usb_dev, endpoint);
            if (cleared == LIBUSB_ERROR_NO_DEVICE)
                return End(FtDeviceNotFound,
                           "unplugged (" + ErrorName(cleared) + " clearing a halt)");
            line +=
                cleared == 0 ? ", halt cleared" : ", halt not cleared (" + ErrorName(cleared) + ")";
        }
        Log(line + ", tried again");
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_for(lock, options.retryPause, [this] { return stop || end != FtOk; });
        return !stop && end == FtOk;
    }

    // What a bulk read brought: every packet starts with the chip's two status bytes, which
    // are not data but carry the line's errors.
    void Deliver(const uint8_t* data, size_t length) {
        const auto packet =
            static_cast<size_t>(ctx->max_packet_size > 0 ? ctx->max_packet_size : 64);
        size_t dropped = 0;
        bool firstDrop = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            const size_t before = rx.size();
            for (size_t at = 0; at < length; at += packet) {
                const size_t last = std::min(at + packet, length);
                if (last - at < 2) continue;
                lineErrors |= (uint32_t{data[at + 1]} << 8) & kLineErrorBits;
                rx.insert(rx.end(), data + at + 2, data + last);
            }
            if (rx.size() > options.receiveLimit) {
                dropped = rx.size() - options.receiveLimit;
                rx.erase(rx.begin(), rx.begin() + static_cast<std::ptrdiff_t>(dropped));
                lineErrors |= FtLineOverrun;
                firstDrop = !dropping;
                dropping = true;
            }
            if (rx.size() != before || dropped != 0) changed.notify_all();
        }
        if (firstDrop)
            Log("receive buffer full (" + std::to_string(options.receiveLimit) +
                " bytes): the oldest bytes are dropped");
    }

    // One bulk transfer after the other; the chip ends each with a short packet once its
    // latency timer has run out (or when it is full).
    void ReadLoop() {
        std::vector<uint8_t> transfer;
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (stop) return;
            }
            transfer.resize(inSize);
            int got = 0;
            // The time-out only matters for a chip that no longer answers; a stop waits for
            // the transfer under way.
            const int ret =
                libusb_bulk_transfer(ctx->usb_dev, InEndpoint(), transfer.data(),
                                     static_cast<int>(transfer.size()), &got, kReaderTimeoutMs);
            Deliver(transfer.data(),
                    static_cast<size_t>(std::clamp(got, 0, static_cast<int>(transfer.size()))));
            if (ret == 0 || ret == LIBUSB_ERROR_TIMEOUT) continue;
            if (!Recover(ret, InEndpoint(), "read")) return;
        }
    }
};

namespace {

uint32_t Take(std::deque<uint8_t>& rx, uint8_t* out, uint32_t n) {
    const auto count = static_cast<uint32_t>(std::min<size_t>(rx.size(), n));
    std::copy_n(rx.begin(), count, out);
    rx.erase(rx.begin(), rx.begin() + count);
    return count;
}

// libusb truncates to the buffer and always terminates.
template <size_t N>
bool ReadUsbString(libusb_device_handle* usb, uint8_t index, std::array<char, N>& field) {
    field.fill('\0');
    if (index == 0) return true; // the chip has no such string
    return libusb_get_string_descriptor_ascii(usb, index,
                                              reinterpret_cast<unsigned char*>(field.data()),
                                              static_cast<int>(N)) >= 0;
}

} // namespace

LibFtdiDriver::LibFtdiDriver() = default;
LibFtdiDriver::LibFtdiDriver(LibFtdiDriverOptions options) : options_(std::move(options)) {}
LibFtdiDriver::~LibFtdiDriver() = default;

LibFtdiDriver::Device* LibFtdiDriver::Find(FtHandle handle) {
    const auto it = devices_.find(handle);
    return it == devices_.end() ? nullptr : it->second.get();
}

FtStatus LibFtdiDriver::CountDevices(uint32_t& count) {
    count = 0;
    Context ctx(ftdi_new());
    if (!ctx) return FtIoError;
    DeviceList list;
    const int found = ftdi_usb_find_all(ctx.get(), &list.head, 0, 0);
    if (found < 0) return FtIoError;
    count = static_cast<uint32_t>(found);
    return FtOk;
}

FtStatus LibFtdiDriver::Open(int index, FtHandle& handle) {
    handle = 0;
    if (index < 0) return FtDeviceNotFound;
    Context ctx(ftdi_new());
    if (!ctx) return FtIoError;
    {
        DeviceList list;
        if (ftdi_usb_find_all(ctx.get(), &list.head, 0, 0) < 0) return FtIoError;
        ftdi_device_list* entry = list.head;
        for (int i = 0; entry != nullptr && i < index; ++i) entry = entry->next;
        if (entry == nullptr) return FtDeviceNotFound;
        // The open device holds its own reference, so the list may go afterwards.
        if (ftdi_usb_open_dev(ctx.get(), entry->dev) < 0) return WhyNotOpened(entry->dev);
    }

    auto device = std::make_unique<Device>(nextHandle_, options_);
    device->ctx = std::move(ctx);
    try {
        device->Start();
    } catch (const std::system_error&) {
        return FtOtherError; // no thread to be had: the device closes again
    }
    handle = nextHandle_++;
    if (nextHandle_ == 0) nextHandle_ = 1;
    devices_[handle] = std::move(device);
    return FtOk;
}

FtStatus LibFtdiDriver::Close(FtHandle handle) {
    const auto it = devices_.find(handle);
    if (it == devices_.end()) return FtInvalidHandle;
    it->second->StopReader();
    const int ret = ftdi_usb_close(it->second->ctx.get());
    devices_.erase(it); // the handle is gone even when the close failed
    return Check(ret);
}

FtStatus LibFtdiDriver::Read(FtHandle handle, uint8_t* buffer, uint32_t n, uint32_t& got) {
    using namespace std::chrono;
    got = 0;
    Device* dev = Find(handle);
    if (!dev) return FtInvalidHandle;
    if (n > 0 && buffer == nullptr) return FtInvalidParameter;

    // A time-out of 0 is a deadline already passed: what is there, at once.
    const auto deadline = steady_clock::now() + milliseconds(dev->readMs);
    std::unique_lock<std::mutex> lock(dev->mutex);
    for (;;) {
        got += Take(dev->rx, buffer + got, n - got);
        if (dev->rx.empty()) dev->dropping = false; // a new overflow is worth a line again
        if (got == n) return FtOk;
        if (dev->end != FtOk) return dev->end;
        if (dev->changed.wait_until(lock, deadline) == std::cv_status::timeout) {
            got += Take(dev->rx, buffer + got, n - got);
            return dev->end != FtOk && got < n ? dev->end : FtOk;
        }
    }
}

FtStatus LibFtdiDriver::Write(FtHandle handle, const uint8_t* buffer, uint32_t n,
                              uint32_t& written) {
    written = 0;
    Device* dev = Find(handle);
    if (!dev) return FtInvalidHandle;
    if (n == 0) return FtOk;
    if (buffer == nullptr || n > INT_MAX) return FtInvalidParameter;
    {
        std::lock_guard<std::mutex> lock(dev->mutex);
        if (dev->end != FtOk) return dev->end;
    }
    // Bulk transfers of libftdi's write chunk size. Unlike libftdi's own write, a transfer cut
    // short by the write time-out still counts the bytes the chip took, and a failed one is
    // tried again from the first byte the chip did not take.
    ftdi_context* ctx = dev->ctx.get();
    const uint32_t chunk = std::max(ctx->writebuffer_chunksize, 1u);
    while (written < n) {
        const uint32_t size = std::min(chunk, n - written);
        int sent = 0;
        const int ret = libusb_bulk_transfer(ctx->usb_dev, dev->OutEndpoint(),
                                             const_cast<unsigned char*>(buffer + written),
                                             static_cast<int>(size), &sent, ctx->usb_write_timeout);
        written += static_cast<uint32_t>(std::clamp(sent, 0, static_cast<int>(size)));
        if (ret == 0) continue;
        // The line took no more within the write time-out: the chip is fine, the caller decides.
        if (ret == LIBUSB_ERROR_TIMEOUT) return FtIoError;
        if (!dev->Recover(ret, dev->OutEndpoint(), "write")) return dev->EndStatus();
    }
    return FtOk;
}

FtStatus LibFtdiDriver::SetBaudRate(FtHandle handle, uint32_t baud) {
    Device* dev = Find(handle);
    if (!dev) return FtInvalidHandle;
    if (baud == 0 || baud > INT_MAX) return FtInvalidParameter;
    return Check(ftdi_set_baudrate(dev->ctx.get(), static_cast<int>(baud)));
}

FtStatus LibFtdiDriver::SetDataCharacteristics(FtHandle handle, uint8_t wordLength,
                                               uint8_t stopBits, uint8_t parity) {
    Device* dev = Find(handle);
    if (!dev) return FtInvalidHandle;
    if (wordLength != 7 && wordLength != 8) return FtInvalidParameter;
    if (stopBits != 0 && stopBits != 2) return FtInvalidParameter;
    if (parity > 4) return FtInvalidParameter;
    // The codes are the same numbers in libftdi's enums.
    return Check(ftdi_set_line_property(dev->ctx.get(), static_cast<ftdi_bits_type>(wordLength),
                                        static_cast<ftdi_stopbits_type>(stopBits),
                                        static_cast<ftdi_parity_type>(parity)));
}

FtStatus LibFtdiDriver::SetFlowControl(FtHandle handle, uint16_t mode, uint8_t xon, uint8_t xoff) {
    Device* dev = Find(handle);
    if (!dev) return FtInvalidHandle;
    switch (mode) {
    case FtFlowNone:
        return Check(ftdi_setflowctrl(dev->ctx.get(), SIO_DISABLE_FLOW_CTRL));
    case FtFlowRtsCts:
        return Check(ftdi_setflowctrl(dev->ctx.get(), SIO_RTS_CTS_HS));
    case FtFlowDtrDsr:
        return Check(ftdi_setflowctrl(dev->ctx.get(), SIO_DTR_DSR_HS));
    case FtFlowXonXoff:
        return Check(ftdi_setflowctrl_xonxoff(dev->ctx.get(), xon, xoff));
    default:
        return FtInvalidParameter;
    }
}

FtStatus LibFtdiDriver::SetDtr(FtHandle handle) {
    Device* dev = Find(handle);
    return dev ? Check(ftdi_setdtr(dev->ctx.get(), 1)) : FtInvalidHandle;
}

FtStatus LibFtdiDriver::ClrDtr(FtHandle handle) {
    Device* dev = Find(handle);
    return dev ? Check(ftdi_setdtr(dev->ctx.get(), 0)) : FtInvalidHandle;
}

FtStatus LibFtdiDriver::SetRts(FtHandle handle) {
    Device* dev = Find(handle);
    return dev ? Check(ftdi_setrts(dev->ctx.get(), 1)) : FtInvalidHandle;
}

FtStatus LibFtdiDriver::ClrRts(FtHandle handle) {
    Device* dev = Find(handle);
    return dev ? Check(ftdi_setrts(dev->ctx.get(), 0)) : FtInvalidHandle;
}

FtStatus LibFtdiDriver::GetModemStatus(FtHandle handle, uint32_t& status) {
    status = 0;
    Device* dev = Find(handle);
    if (!dev) return FtInvalidHandle;
    unsigned short raw = 0;
    if (ftdi_poll_modem_status(dev->ctx.get(), &raw) < 0) return FtIoError;
    std::lock_guard<std::mutex> lock(dev->mutex);
    status = (raw & (kModemStatusBits | kLineErrorBits)) | dev->lineErrors;
    dev->lineErrors = 0;
    return FtOk;
}

FtStatus LibFtdiDriver::Purge(FtHandle handle, uint32_t mask) {
    Device* dev = Find(handle);
    if (!dev) return FtInvalidHandle;
    if ((mask & ~(FtPurgeRx | FtPurgeTx)) != 0) return FtInvalidParameter;
    if (mask & FtPurgeRx) {
        // The chip empties its FIFO; a transfer under way may still bring what had gone into
        // it before, as on the vendor's driver.
        const bool flushed = ftdi_tciflush(dev->ctx.get()) >= 0;
        std::lock_guard<std::mutex> lock(dev->mutex);
        if (dev->end != FtOk) {
            dev->rx.clear(); // what the ended device left is dropped all the same
            return dev->end;
        }
        // One failed control transfer is this call's failure, not the device's end, which
        // only the reader's transfers decide (FtIoError is that end's).
        if (!flushed) return FtOtherError;
        dev->rx.clear();
        dev->dropping = false;
    }
    if (mask & FtPurgeTx) {
        if (ftdi_tcoflush(dev->ctx.get()) < 0) return FtOtherError;
    }
    return FtOk;
}

FtStatus LibFtdiDriver::SetTimeouts(FtHandle handle, uint32_t readMs, uint32_t writeMs) {
    Device* dev = Find(handle);
    if (!dev) return FtInvalidHandle;
    // Reads wait for the device's reader; its USB transfers keep a time-out of their own.
    dev->readMs = readMs;
    dev->ctx->usb_write_timeout = ClampToInt(writeMs);
    return FtOk;
}

FtStatus LibFtdiDriver::GetQueueStatus(FtHandle handle, uint32_t& rxCount) {
    rxCount = 0;
    Device* dev = Find(handle);
    if (!dev) return FtInvalidHandle;
    std::lock_guard<std::mutex> lock(dev->mutex);
    // After the end, what had come is still there to be read.
    if (dev->rx.empty() && dev->end != FtOk) return dev->end;
    rxCount = static_cast<uint32_t>(dev->rx.size());
    return FtOk;
}

FtStatus LibFtdiDriver::GetStatus(FtHandle handle, uint32_t& rxCount, uint32_t& txCount,
                                  uint32_t& events) {
    txCount = 0;
    events = 0;
    return GetQueueStatus(handle, rxCount);
}

FtStatus LibFtdiDriver::ReadEeprom(FtHandle handle, EepromProgramData& data) {
    if (data.Signature1 != 0 || data.Signature2 != 0xFFFFFFFF) return FtInvalidParameter;
    Device* dev = Find(handle);
    if (!dev) return FtInvalidHandle;

    // The strings the chip reports over USB are the ones its EEPROM holds. They are read
    // through libusb rather than libftdi's string call, which closes the device when a string
    // cannot be read.
    libusb_device_handle* usb = dev->ctx->usb_dev;
    libusb_device_descriptor desc{};
    if (libusb_get_device_descriptor(libusb_get_device(usb), &desc) < 0) {
        return FtEepromReadFailed;
    }
    EepromProgramData result = data;
    result.ManufacturerId.fill('\0');
    if (!ReadUsbString(usb, desc.iManufacturer, result.Manufacturer) ||
        !ReadUsbString(usb, desc.iProduct, result.Description) ||
        !ReadUsbString(usb, desc.iSerialNumber, result.SerialNumber)) {
        return FtEepromReadFailed;
    }
    data = result;
    return FtOk;
}

FtStatus LibFtdiDriver::GetDriverVersion(FtHandle handle, uint32_t& version) {
    version = 0;
    if (!Find(handle)) return FtInvalidHandle;
    const libusb_version* usb = libusb_get_version();
    version = PackVersion(usb->major, usb->minor, usb->micro);
    return FtOk;
}

FtStatus LibFtdiDriver::GetLibraryVersion(uint32_t& version) {
    const ftdi_version_info info = ftdi_get_library_version();
    version = PackVersion(info.major, info.minor, info.micro);
    return FtOk;
}

FtStatus LibFtdiDriver::SetLatencyTimer(FtHandle handle, uint8_t ms) {
    Device* dev = Find(handle);
    if (!dev) return FtInvalidHandle;
    if (ms == 0) return FtInvalidParameter; // libftdi takes 1..255
    return Check(ftdi_set_latency_timer(dev->ctx.get(), ms));
}

FtStatus LibFtdiDriver::SetUsbParameters(FtHandle handle, uint32_t inSize, uint32_t outSize) {
    Device* dev = Find(handle);
    if (!dev) return FtInvalidHandle;
    ftdi_context* ctx = dev->ctx.get();
    // A bulk read smaller than one USB packet overflows, so the read size is rounded up to whole
    // packets: a size such as 1 still gives working reads.
    const uint32_t packet = ctx->max_packet_size > 0 ? ctx->max_packet_size : 64;
    const uint32_t wanted = std::clamp<uint32_t>(inSize, 1, kMaxTransferSize);
    const uint32_t in = (wanted + packet - 1) / packet * packet;
    const uint32_t out = std::clamp<uint32_t>(outSize, 1, kMaxTransferSize);
    if (ftdi_read_data_set_chunksize(ctx, in) < 0) return FtIoError;
    // From the reader's next transfer on: the one under way keeps the size it started with.
    dev->inSize = in;
    return Check(ftdi_write_data_set_chunksize(ctx, out));
}

} // namespace platform
