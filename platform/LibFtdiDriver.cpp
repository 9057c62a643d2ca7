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
#include <mutex>
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
constexpr uint32_t kLineStatusBits = 0x1E00;

constexpr uint32_t kMaxTransferSize = 65536;
constexpr unsigned kReaderTimeoutMs = 1000;

} // namespace

// An open chip, and the thread that takes what it sends into the receive buffer. A chip holds
// only 256 received bytes and sends them only when asked, so without a reader of its own a
// device that streams would lose bytes whenever the program is busy elsewhere (the vendor's
// driver reads in the kernel for the same reason).
struct LibFtdiDriver::Device {
    Context ctx;
    uint32_t readMs = 0; // the caller's thread only

    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<uint8_t> rx; // guarded by mutex, as are the two flags
    bool failed = false;    // the chip is gone: every call fails from now on
    bool stop = false;
    std::atomic<uint32_t> inSize{0}; // bytes of a bulk read, whole packets
    std::thread reader;

    void Start() {
        inSize = ctx->readbuffer_chunksize;
        reader = std::thread([this] { ReadLoop(); });
    }
    void StopReader() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stop = true;
        }
        if (reader.joinable()) reader.join();
    }
    ~Device() {
        StopReader();
        if (ctx && ctx->usb_dev) ftdi_usb_close(ctx.get());
    }

    // One bulk transfer after the other; the chip ends each with a short packet once its
    // latency timer has run out (or when it is full). Every packet starts with the chip's two
    // status bytes, which are not data.
    void ReadLoop() {
        std::vector<uint8_t> transfer;
        const auto packet =
            static_cast<size_t>(ctx->max_packet_size > 0 ? ctx->max_packet_size : 64);
        for (;;) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (stop) return;
            }
            transfer.resize(inSize);
            int got = 0;
            // libftdi names the endpoint it reads from out_ep. The time-out only matters for
            // a chip that no longer answers; a stop waits for the transfer under way.
            const int ret = libusb_bulk_transfer(
                ctx->usb_dev, static_cast<unsigned char>(ctx->out_ep), transfer.data(),
                static_cast<int>(transfer.size()), &got, kReaderTimeoutMs);
            const auto length = static_cast<size_t>(std::clamp(got, 0, int(transfer.size())));
            std::lock_guard<std::mutex> lock(mutex);
            const size_t before = rx.size();
            for (size_t at = 0; at < length; at += packet) {
                const size_t end = std::min(at + packet, length);
                if (end - at > 2)
                    rx.insert(rx.end(), transfer.begin() + static_cast<std::ptrdiff_t>(at + 2),
                              transfer.begin() + static_cast<std::ptrdiff_t>(end));
            }
            if (ret < 0 && ret != LIBUSB_ERROR_TIMEOUT) {
                failed = true;
                arrived.notify_all();
                return;
            }
            if (rx.size() != before) arrived.notify_all();
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
        if (ftdi_usb_open_dev(ctx.get(), entry->dev) < 0) return FtDeviceNotOpened;
    }

    auto device = std::make_unique<Device>();
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

    const auto deadline = steady_clock::now() + milliseconds(dev->readMs);
    std::unique_lock<std::mutex> lock(dev->mutex);
    for (;;) {
        got += Take(dev->rx, buffer + got, n - got);
        if (got == n) return FtOk;
        if (dev->failed) return FtIoError;
        if (dev->arrived.wait_until(lock, deadline) == std::cv_status::timeout) {
            got += Take(dev->rx, buffer + got, n - got);
            return dev->failed && got < n ? FtIoError : FtOk;
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
    // Bulk transfers of libftdi's write chunk size. Unlike libftdi's own write, a transfer cut
    // short by the write time-out still counts the bytes the chip took.
    ftdi_context* ctx = dev->ctx.get();
    const uint32_t chunk = std::max(ctx->writebuffer_chunksize, 1u);
    while (written < n) {
        const uint32_t size = std::min(chunk, n - written);
        int sent = 0;
        // libftdi names the endpoint it writes to in_ep.
        const int ret = libusb_bulk_transfer(ctx->usb_dev, static_cast<unsigned char>(ctx->in_ep),
                                             const_cast<unsigned char*>(buffer + written),
                                             static_cast<int>(size), &sent, ctx->usb_write_timeout);
        written += static_cast<uint32_t>(std::clamp(sent, 0, static_cast<int>(size)));
        if (ret < 0) return FtIoError;
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
    status = raw & (kModemStatusBits | kLineStatusBits);
    return FtOk;
}

FtStatus LibFtdiDriver::Purge(FtHandle handle, uint32_t mask) {
    Device* dev = Find(handle);
    if (!dev) return FtInvalidHandle;
    if ((mask & ~(FtPurgeRx | FtPurgeTx)) != 0) return FtInvalidParameter;
    if (mask & FtPurgeRx) {
        // The chip empties its FIFO; a transfer under way may still bring what had gone into
        // it before, as on the vendor's driver.
        if (ftdi_tciflush(dev->ctx.get()) < 0) return FtIoError;
        std::lock_guard<std::mutex> lock(dev->mutex);
        dev->rx.clear();
    }
    if (mask & FtPurgeTx) {
        if (ftdi_tcoflush(dev->ctx.get()) < 0) return FtIoError;
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
    if (dev->failed) return FtIoError;
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
    dev->inSize = in; // from the reader's next transfer on
    return Check(ftdi_write_data_set_chunksize(ctx, out));
}

} // namespace platform
