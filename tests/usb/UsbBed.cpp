#include "tests/usb/UsbBed.h"

#include <umockdev.h>

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace usbemu {

namespace {

constexpr const char* DeviceNode = "/dev/bus/usb/001/002";
// Below /sys in the bed.
constexpr const char* DevicePath = "/devices/pci0000:00/0000:00:14.0/usb1/1-1";
constexpr uint8_t BulkIn = UsbBed::InEndpoint;
constexpr uint8_t BulkOut = UsbBed::OutEndpoint;
// A reap with nothing due waits at most this long, so that the requests of other threads on
// the same device node (which wait meanwhile) and an unplug are seen soon.
constexpr uint64_t LongestReapWaitNs = 1'000'000;

struct IoctlName {
    unsigned long request;
    const char* name;
};
const std::array<IoctlName, 22> IoctlNames = {{
    {USBDEVFS_CONTROL, "USBDEVFS_CONTROL"},
    {USBDEVFS_BULK, "USBDEVFS_BULK"},
    {USBDEVFS_RESETEP, "USBDEVFS_RESETEP"},
    {USBDEVFS_SETINTERFACE, "USBDEVFS_SETINTERFACE"},
    {USBDEVFS_SETCONFIGURATION, "USBDEVFS_SETCONFIGURATION"},
    {USBDEVFS_GETDRIVER, "USBDEVFS_GETDRIVER"},
    {USBDEVFS_SUBMITURB, "USBDEVFS_SUBMITURB"},
    {USBDEVFS_DISCARDURB, "USBDEVFS_DISCARDURB"},
    {USBDEVFS_REAPURB, "USBDEVFS_REAPURB"},
    {USBDEVFS_REAPURBNDELAY, "USBDEVFS_REAPURBNDELAY"},
    {USBDEVFS_CLAIMINTERFACE, "USBDEVFS_CLAIMINTERFACE"},
    {USBDEVFS_RELEASEINTERFACE, "USBDEVFS_RELEASEINTERFACE"},
    {USBDEVFS_CONNECTINFO, "USBDEVFS_CONNECTINFO"},
    {USBDEVFS_IOCTL, "USBDEVFS_IOCTL"},
    {USBDEVFS_RESET, "USBDEVFS_RESET"},
    {USBDEVFS_CLEAR_HALT, "USBDEVFS_CLEAR_HALT"},
    {USBDEVFS_DISCONNECT, "USBDEVFS_DISCONNECT"},
    {USBDEVFS_CONNECT, "USBDEVFS_CONNECT"},
    {USBDEVFS_GET_CAPABILITIES, "USBDEVFS_GET_CAPABILITIES"},
    {USBDEVFS_DISCONNECT_CLAIM, "USBDEVFS_DISCONNECT_CLAIM"},
    {USBDEVFS_ALLOC_STREAMS, "USBDEVFS_ALLOC_STREAMS"},
    {USBDEVFS_GET_SPEED, "USBDEVFS_GET_SPEED"},
}};

std::string IoctlText(unsigned long request) {
    for (const auto& n : IoctlNames)
        if (n.request == request) return n.name;
    char text[40];
    std::snprintf(text, sizeof text, "ioctl 0x%08lX", request);
    return text;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    char two[3];
    for (const uint8_t b : bytes) {
        std::snprintf(two, sizeof two, "%02x", b);
        out += two;
    }
    return out;
}

std::string TransferText(uint8_t endpoint, int error) {
    const char* name = error == -EPROTO      ? "EPROTO"
                       : error == -EILSEQ    ? "EILSEQ"
                       : error == -EPIPE     ? "EPIPE"
                       : error == -EOVERFLOW ? "EOVERFLOW"
                                             : nullptr;
    char text[40];
    if (name)
        std::snprintf(text, sizeof text, "0x%02X %s", endpoint, name);
    else
        std::snprintf(text, sizeof text, "0x%02X error %d", endpoint, error);
    return text;
}

// The data in a bulk IN transfer: every packet of it starts with two status bytes.
uint64_t DataBytes(size_t transferBytes) {
    const size_t packets = (transferBytes + FtdiChip::PacketBytes - 1) / FtdiChip::PacketBytes;
    return transferBytes - 2 * packets;
}

uint64_t SteadyNs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count());
}

// Resolves a block of the client's memory, or nothing (a fault already said why).
UMockdevIoctlData* Resolve(UMockdevIoctlData* data, size_t offset, size_t length) {
    GError* error = nullptr;
    UMockdevIoctlData* block = umockdev_ioctl_data_resolve(data, offset, length, &error);
    if (error != nullptr) g_error_free(error);
    return block;
}

} // namespace

struct UsbBed::Urb {
    UMockdevIoctlClient* client = nullptr;
    UMockdevIoctlData* urb = nullptr;
    UMockdevIoctlData* buffer = nullptr;
    unsigned long clientAddress = 0;
    uint8_t type = 0;
    uint8_t endpoint = 0;
    FtdiChip::InTransfer in;
    size_t outTaken = 0;
    bool done = false;
    uint64_t doneNs = 0;

    usbdevfs_urb& Fields() { return *reinterpret_cast<usbdevfs_urb*>(urb->data); }
    ~Urb() {
        if (buffer) g_object_unref(buffer);
        if (urb) g_object_unref(urb);
        if (client) g_object_unref(client);
    }
};

bool UsbBed::Preloaded() {
    const char* preload = std::getenv("LD_PRELOAD");
    return preload != nullptr && std::strstr(preload, "libumockdev-preload") != nullptr;
}

UsbBed::UsbBed(std::unique_ptr<FtdiChip> chip) : chip_(std::move(chip)), startNs_(SteadyNs()) {
    if (!Preloaded())
        throw std::runtime_error("the emulated chip needs umockdev's preload library: run under "
                                 "umockdev-wrapper or LD_PRELOAD=libumockdev-preload.so.0");
    testbed_ = umockdev_testbed_new();
    const std::string record = std::string("P: ") + DevicePath +
                               "\n"
                               "N: bus/usb/001/002\n"
                               "E: DEVNAME=/dev/bus/usb/001/002\n"
                               "E: DEVTYPE=usb_device\n"
                               "E: SUBSYSTEM=usb\n"
                               "E: BUSNUM=001\n"
                               "E: DEVNUM=002\n"
                               "E: PRODUCT=403/6001/600\n"
                               "A: busnum=1\n"
                               "A: devnum=2\n"
                               "A: dev=189:1\n"
                               "A: idVendor=0403\n"
                               "A: idProduct=6001\n"
                               "A: bcdDevice=0600\n"
                               "A: speed=12\n"
                               "A: bConfigurationValue=1\n"
                               "A: bNumConfigurations=1\n"
                               "A: bNumInterfaces= 1\n"
                               "A: manufacturer=" +
                               chip_->Strings().manufacturer +
                               "\nA: product=" + chip_->Strings().description +
                               "\nA: serial=" + chip_->Strings().serial +
                               "\nH: descriptors=" + Hex(chip_->Descriptors()) + "\n";
    GError* error = nullptr;
    if (!umockdev_testbed_add_from_string(testbed_, record.c_str(), &error)) {
        const std::string why = error ? error->message : "?";
        if (error) g_error_free(error);
        g_object_unref(testbed_);
        throw std::runtime_error("the test bed refused the device: " + why);
    }
    sysPath_ = std::string("/sys") + DevicePath;
    handler_ = umockdev_ioctl_base_new();
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&UsbBed::OnIoctl), this);
    g_signal_connect(handler_, "client-connected", G_CALLBACK(&UsbBed::OnConnected), this);
    g_signal_connect(handler_, "client-vanished", G_CALLBACK(&UsbBed::OnVanished), this);
    if (!umockdev_testbed_attach_ioctl(testbed_, DeviceNode, handler_, &error)) {
        const std::string why = error ? error->message : "?";
        if (error) g_error_free(error);
        g_object_unref(handler_);
        g_object_unref(testbed_);
        throw std::runtime_error("the test bed refused the handler: " + why);
    }
}

UsbBed::~UsbBed() {
    if (remover_.joinable()) remover_.join();
    stopReleasing_ = true;
    if (releaser_.joinable()) releaser_.join();
    GError* error = nullptr;
    if (!unplugged_) umockdev_testbed_detach_ioctl(testbed_, DeviceNode, &error);
    if (error) g_error_free(error);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        urbs_.clear();
    }
    g_signal_handlers_disconnect_by_data(handler_, this);
    g_object_unref(handler_);
    g_object_unref(testbed_);
}

uint64_t UsbBed::NowNs() const {
    return SteadyNs() - startNs_;
}

std::vector<std::string> UsbBed::Faults() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> all = chip_->Faults();
    all.insert(all.end(), faults_.begin(), faults_.end());
    return all;
}

std::vector<std::string> UsbBed::Events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
}

std::vector<UsbBed::Transfer> UsbBed::Transfers() {
    std::lock_guard<std::mutex> lock(mutex_);
    return transfers_;
}

void UsbBed::Fault(std::string text) {
    faults_.push_back(std::move(text));
}

void UsbBed::DenyAccess() {
    gchar* root = umockdev_testbed_get_root_dir(testbed_);
    const std::string folder = root;
    g_free(root);
    // Made by mkdtemp for its owner alone: every user may enter it, and make in it the sockets by
    // which the preload library passes on the bed's device events (as any user may listen to
    // udev's); the folders below it are everyone's to enter.
    // The preload library reaches the bed through the node's socket for every open, also one
    // that the node refuses: every user may connect to it.
    if (::chmod(folder.c_str(), 01777) != 0 ||
        ::chmod((folder + "/ioctl" + DeviceNode).c_str(), 0777) != 0 ||
        ::chmod((folder + DeviceNode).c_str(), 0444) != 0)
        throw std::runtime_error("the bed's device node keeps its rights: " +
                                 std::string(std::strerror(errno)));
    if (releaser_.joinable()) return;
    releaser_ = std::thread([this] {
        while (!stopReleasing_) {
            for (int i = 0; i < 4; ++i) (void)::close(-1);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
}

void UsbBed::AddTransferFault(const TransferFault& fault) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (fault.endpoint != 0 && fault.endpoint != BulkIn && fault.endpoint != BulkOut)
        throw std::invalid_argument("the chip has endpoints 0, 0x81 and 0x02 only");
    if (fault.error >= 0) throw std::invalid_argument("a transfer fault is a negative errno");
    if (fault.carriesData && fault.endpoint != BulkIn)
        throw std::invalid_argument("only a transfer from the chip carries data to the host");
    transferFaults_.push_back(fault);
}

std::optional<std::chrono::steady_clock::time_point> UsbBed::FirstFailure() {
    std::lock_guard<std::mutex> lock(mutex_);
    return firstFailure_;
}

uint64_t UsbBed::BytesIn() {
    std::lock_guard<std::mutex> lock(mutex_);
    return bytesIn_;
}

std::vector<std::string> UsbBed::FailedTransfers() {
    std::lock_guard<std::mutex> lock(mutex_);
    return failed_;
}

int UsbBed::TransferError(uint8_t endpoint, bool carrying) {
    int error = 0;
    if (halted_.count(endpoint) != 0 && !carrying) {
        error = -EPIPE;
    } else {
        const uint64_t moved = endpoint == BulkIn ? bytesIn_ : bytesOut_;
        const auto it = std::find_if(
            transferFaults_.begin(), transferFaults_.end(), [&](const TransferFault& f) {
                return f.endpoint == endpoint && moved >= f.afterBytes && f.carriesData == carrying;
            });
        if (it == transferFaults_.end()) return 0;
        error = it->error;
        if (it->count > 0 && --it->count == 0) transferFaults_.erase(it);
        if (error == -EPIPE) halted_.insert(endpoint);
    }
    failed_.push_back(TransferText(endpoint, error));
    if (!firstFailure_) firstFailure_ = std::chrono::steady_clock::now();
    return error;
}

int UsbBed::ControlError(const ControlSetup& setup) {
    const auto it =
        std::find_if(transferFaults_.begin(), transferFaults_.end(), [&](const TransferFault& f) {
            return f.endpoint == 0 && f.request == setup.request && f.value == setup.value &&
                   bytesOut_ >= f.afterBytes;
        });
    if (it == transferFaults_.end()) return 0;
    const int error = it->error;
    if (it->count > 0 && --it->count == 0) transferFaults_.erase(it);
    failed_.push_back(TransferText(0, error));
    if (!firstFailure_) firstFailure_ = std::chrono::steady_clock::now();
    return error;
}

void UsbBed::UnplugAfter(uint8_t endpoint, uint64_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (endpoint != BulkIn && endpoint != BulkOut)
        throw std::invalid_argument("the chip has bulk endpoints 0x81 and 0x02 only");
    unplugAfter_ = {endpoint, bytes};
}

bool UsbBed::UnplugDue() const {
    if (!unplugAfter_ || unplugged_) return false;
    const uint64_t moved = unplugAfter_->first == BulkIn ? bytesIn_ : bytesOut_;
    return moved >= unplugAfter_->second;
}

void UsbBed::Unplug() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (unplugged_) return;
        const uint64_t now = NowNs();
        Advance(now);
        if (unplugged_) return; // an unplug asked for became due on the way
        PowerOffLocked(now);
    }
    RemoveFromSysfs();
}

void UsbBed::PowerOffLocked(uint64_t nowNs) {
    unplugged_ = true;
    chip_->PowerOff();
    // The host controller ends what was in flight; what had come stays in the buffer.
    for (auto& urb : urbs_) {
        if (urb->done) continue;
        const int actual = urb->endpoint == BulkIn ? static_cast<int>(urb->in.data.size())
                                                   : static_cast<int>(urb->outTaken);
        if (urb->endpoint == BulkIn && actual > 0)
            std::memcpy(urb->buffer->data, urb->in.data.data(), urb->in.data.size());
        Finish(*urb, -ESHUTDOWN, actual, nowNs);
    }
    events_.push_back("unplugged");
}

void UsbBed::RemoveFromSysfs() {
    umockdev_testbed_uevent(testbed_, sysPath_.c_str(), "remove");
    umockdev_testbed_remove_device(testbed_, sysPath_.c_str());
}

void UsbBed::OnConnected(UMockdevIoctlBase*, UMockdevIoctlClient*, void* self) {
    auto* bed = static_cast<UsbBed*>(self);
    std::lock_guard<std::mutex> lock(bed->mutex_);
    bed->events_.push_back("open");
}

void UsbBed::OnVanished(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
    auto* bed = static_cast<UsbBed*>(self);
    std::lock_guard<std::mutex> lock(bed->mutex_);
    // The kernel drops what a closed file had in flight; so does the claim.
    std::erase_if(bed->urbs_, [client](const auto& urb) { return urb->client == client; });
    if (bed->claimant_ == client) bed->claimant_ = nullptr;
}

int UsbBed::OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, void* self) {
    auto* bed = static_cast<UsbBed*>(self);
    std::lock_guard<std::mutex> lock(bed->mutex_);
    bed->Handle(client);
    return TRUE;
}

void UsbBed::Complete(UMockdevIoctlClient* client, long result, int error) {
    umockdev_ioctl_client_complete(client, result, error);
}

void UsbBed::Handle(UMockdevIoctlClient* client) {
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
    if (unplugged_ && request != USBDEVFS_REAPURBNDELAY && request != USBDEVFS_REAPURB) {
        Complete(client, -1, ENODEV);
        return;
    }
    switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
        UMockdevIoctlData* caps = Resolve(arg, 0, sizeof(uint32_t));
        if (!caps) return Complete(client, -1, EFAULT);
        const uint32_t value = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_BULK_CONTINUATION |
                               USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
        std::memcpy(caps->data, &value, sizeof value);
        return Complete(client, 0, 0);
    }
    case USBDEVFS_GETDRIVER:
        return Complete(client, -1, ENODATA); // no kernel driver holds the interface
    case USBDEVFS_IOCTL: {
        UMockdevIoctlData* data = Resolve(arg, 0, sizeof(usbdevfs_ioctl));
        if (!data) return Complete(client, -1, EFAULT);
        const auto& call = *reinterpret_cast<usbdevfs_ioctl*>(data->data);
        if (call.ioctl_code == static_cast<int>(USBDEVFS_DISCONNECT))
            return Complete(client, -1, ENODATA);
        Fault("interface request " + IoctlText(static_cast<unsigned long>(call.ioctl_code)) +
              " through USBDEVFS_IOCTL");
        return Complete(client, -1, ENOTTY);
    }
    case USBDEVFS_SETCONFIGURATION:
    case USBDEVFS_CLAIMINTERFACE:
    case USBDEVFS_RELEASEINTERFACE: {
        UMockdevIoctlData* data = Resolve(arg, 0, sizeof(unsigned int));
        if (!data) return Complete(client, -1, EFAULT);
        unsigned int number = 0;
        std::memcpy(&number, data->data, sizeof number);
        if (request == USBDEVFS_SETCONFIGURATION) {
            if (number == 1) return Complete(client, 0, 0);
            Fault("configuration " + std::to_string(number) + " (the chip has only 1)");
            return Complete(client, -1, EINVAL);
        }
        if (number != 0) {
            Fault(IoctlText(request) + " of interface " + std::to_string(number) +
                  " (the chip has only 0)");
            return Complete(client, -1, EINVAL);
        }
        if (request == USBDEVFS_CLAIMINTERFACE) {
            // Another open file holding it: as when another program has the device.
            if (claimant_ != nullptr && claimant_ != client) return Complete(client, -1, EBUSY);
            claimant_ = client;
            events_.push_back("claim");
        } else {
            if (claimant_ != client) return Complete(client, -1, EINVAL);
            claimant_ = nullptr;
            events_.push_back("release");
        }
        return Complete(client, 0, 0);
    }
    case USBDEVFS_SUBMITURB:
        return Submit(client, arg);
    case USBDEVFS_REAPURB:
        return Reap(client, arg, true, true);
    case USBDEVFS_REAPURBNDELAY:
        return Reap(client, arg, false, true);
    case USBDEVFS_DISCARDURB:
        return Discard(client, arg);
    case USBDEVFS_CONTROL:
        return SyncControl(client, arg);
    case USBDEVFS_CLEAR_HALT:
        return ClearHalt(client, arg);
    default:
        Fault("the bed does not take " + IoctlText(request));
        return Complete(client, -1, ENOTTY);
    }
}

void UsbBed::ClearHalt(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    UMockdevIoctlData* data = Resolve(arg, 0, sizeof(unsigned int));
    if (!data) return Complete(client, -1, EFAULT);
    unsigned int endpoint = 0;
    std::memcpy(&endpoint, data->data, sizeof endpoint);
    char text[40];
    std::snprintf(text, sizeof text, "clear halt 0x%02X", endpoint);
    if (endpoint != BulkIn && endpoint != BulkOut) {
        Fault(std::string(text) + " (the chip has no such endpoint)");
        return Complete(client, -1, EINVAL);
    }
    // The kernel sends the request whether or not the endpoint is halted.
    halted_.erase(static_cast<uint8_t>(endpoint));
    events_.push_back(text);
    return Complete(client, 0, 0);
}

void UsbBed::SyncControl(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    UMockdevIoctlData* data = Resolve(arg, 0, sizeof(usbdevfs_ctrltransfer));
    if (!data) return Complete(client, -1, EFAULT);
    const auto& c = *reinterpret_cast<usbdevfs_ctrltransfer*>(data->data);
    const ControlSetup setup{c.bRequestType, c.bRequest, c.wValue, c.wIndex, c.wLength};
    UMockdevIoctlData* stage =
        c.wLength > 0 ? Resolve(data, offsetof(usbdevfs_ctrltransfer, data), c.wLength) : nullptr;
    if (c.wLength > 0 && !stage) return Complete(client, -1, EFAULT);
    const bool in = (setup.requestType & 0x80) != 0;
    std::span<const uint8_t> out;
    if (!in && stage) out = {stage->data, static_cast<size_t>(stage->data_len)};
    if (const int error = ControlError(setup)) return Complete(client, -1, -error);
    const auto answer = chip_->Control(setup, out, NowNs());
    if (!answer) return Complete(client, -1, EPIPE);
    if (in && !answer->empty()) std::memcpy(stage->data, answer->data(), answer->size());
    return Complete(client, in ? static_cast<long>(answer->size()) : setup.length, 0);
}

void UsbBed::Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    UMockdevIoctlData* urbData = Resolve(arg, 0, sizeof(usbdevfs_urb));
    if (!urbData) return Complete(client, -1, EFAULT);
    auto urb = std::make_unique<Urb>();
    urb->urb = static_cast<UMockdevIoctlData*>(g_object_ref(urbData));
    urb->clientAddress = urbData->client_addr;
    usbdevfs_urb& fields = urb->Fields();
    urb->type = fields.type;
    urb->endpoint = fields.endpoint;
    if (fields.buffer_length < 0) return Complete(client, -1, EINVAL);
    UMockdevIoctlData* buffer =
        Resolve(urbData, offsetof(usbdevfs_urb, buffer), static_cast<size_t>(fields.buffer_length));
    if (!buffer) return Complete(client, -1, EFAULT);
    urb->buffer = static_cast<UMockdevIoctlData*>(g_object_ref(buffer));
    urb->client = static_cast<UMockdevIoctlClient*>(g_object_ref(client));
    const uint64_t now = NowNs();
    Advance(now);

    if (urb->type == USBDEVFS_URB_TYPE_CONTROL && urb->endpoint == 0) {
        if (fields.buffer_length < 8) return Complete(client, -1, EINVAL);
        const uint8_t* b = buffer->data;
        const ControlSetup setup{b[0], b[1], static_cast<uint16_t>(b[2] | b[3] << 8),
                                 static_cast<uint16_t>(b[4] | b[5] << 8),
                                 static_cast<uint16_t>(b[6] | b[7] << 8)};
        if (8u + setup.length > static_cast<size_t>(fields.buffer_length))
            return Complete(client, -1, EINVAL);
        const bool in = (setup.requestType & 0x80) != 0;
        std::span<const uint8_t> out;
        if (!in) out = {b + 8, setup.length};
        if (const int error = ControlError(setup)) {
            Finish(*urb, error, 0, now);
            urbs_.push_back(std::move(urb));
            Advance(now);
            return Complete(client, 0, 0);
        }
        const auto answer = chip_->Control(setup, out, now);
        if (!answer) {
            Finish(*urb, -EPIPE, 0, now);
        } else {
            if (in) std::memcpy(buffer->data + 8, answer->data(), answer->size());
            Finish(*urb, 0, in ? static_cast<int>(answer->size()) : setup.length, now);
        }
    } else if (urb->type == USBDEVFS_URB_TYPE_BULK && urb->endpoint == BulkIn) {
        urb->in.capacity = static_cast<size_t>(fields.buffer_length);
        urb->in.submitNs = now;
        transfers_.push_back({true, urb->in.capacity});
    } else if (urb->type == USBDEVFS_URB_TYPE_BULK && urb->endpoint == BulkOut) {
        // Filled by Advance below.
        transfers_.push_back({false, static_cast<size_t>(fields.buffer_length)});
    } else {
        char text[80];
        std::snprintf(text, sizeof text, "a transfer of type %u on endpoint 0x%02X", urb->type,
                      urb->endpoint);
        Fault(text);
        return Complete(client, -1, ENOENT);
    }
    urbs_.push_back(std::move(urb));
    Advance(now);
    return Complete(client, 0, 0);
}

void UsbBed::Finish(Urb& urb, int status, int actual, uint64_t atNs) {
    usbdevfs_urb& fields = urb.Fields();
    fields.status = status;
    fields.actual_length = actual;
    urb.done = true;
    urb.doneNs = atNs;
}

uint64_t UsbBed::Advance(uint64_t nowNs) {
    uint64_t lookAgain = UINT64_MAX;
    bool inFlight = false;
    for (auto& urb : urbs_) {
        if (urb->done) continue;
        if (urb->endpoint == BulkIn) {
            // A transfer that has brought nothing yet may fail; the chip keeps its bytes.
            if (urb->in.data.empty()) {
                if (const int error = TransferError(BulkIn); error != 0) {
                    Finish(*urb, error, 0, nowNs);
                    continue;
                }
            }
            inFlight = true;
            const auto next = chip_->CollectIn(urb->in, nowNs);
            if (!next) {
                const auto& data = urb->in.data;
                if (!data.empty()) std::memcpy(urb->buffer->data, data.data(), data.size());
                const uint64_t carried = DataBytes(data.size());
                int status = urb->in.overflow ? -EOVERFLOW : 0;
                if (carried > 0 && status == 0) status = TransferError(BulkIn, true);
                bytesIn_ += carried;
                Finish(*urb, status, static_cast<int>(data.size()), urb->in.doneNs);
            } else {
                lookAgain = std::min(lookAgain, *next);
            }
        } else if (urb->endpoint == BulkOut) {
            if (urb->outTaken == 0) {
                if (const int error = TransferError(BulkOut); error != 0) {
                    Finish(*urb, error, 0, nowNs);
                    continue;
                }
            }
            const auto length = static_cast<size_t>(urb->Fields().buffer_length);
            const size_t taken = chip_->TakeFromHost(
                {urb->buffer->data + urb->outTaken, length - urb->outTaken}, nowNs);
            urb->outTaken += taken;
            bytesOut_ += taken;
            if (UnplugDue()) {
                // The bytes reached the chip; nothing more does, and no answer comes back.
                if (urb->outTaken == length) Finish(*urb, 0, static_cast<int>(length), nowNs);
                break;
            }
            if (urb->outTaken == length) {
                Finish(*urb, 0, static_cast<int>(length), nowNs);
            } else if (const auto next = chip_->NextLineEventNs()) {
                lookAgain = std::min(lookAgain, std::max(*next, nowNs));
            }
        }
    }
    if (!unplugged_ && UnplugDue()) {
        PowerOffLocked(nowNs);
        if (!remover_.joinable()) remover_ = std::thread([this] { RemoveFromSysfs(); });
        return UINT64_MAX;
    }
    // With a read in flight the chip has already been brought up to now packet by packet.
    if (!inFlight) chip_->CatchUp(nowNs);
    return lookAgain;
}

namespace {
struct ReapWait {
    UsbBed* bed;
    UMockdevIoctlClient* client;
};
} // namespace

void UsbBed::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg, bool blocking,
                  bool mayWait) {
    const uint64_t now = NowNs();
    const uint64_t lookAgain = unplugged_ ? UINT64_MAX : Advance(now);
    // The earliest transfer of this client that is done.
    auto it = urbs_.end();
    bool mine = false;
    for (auto i = urbs_.begin(); i != urbs_.end(); ++i) {
        if ((*i)->client != client) continue;
        mine = true;
        if ((*i)->done && (it == urbs_.end() || (*i)->doneNs < (*it)->doneNs)) it = i;
    }
    if (it != urbs_.end()) {
        UMockdevIoctlData* out = Resolve(arg, 0, sizeof(void*));
        if (!out) return Complete(client, -1, EFAULT);
        umockdev_ioctl_data_set_ptr(out, 0, (*it)->urb);
        Complete(client, 0, 0);
        urbs_.erase(it);
        return;
    }
    if (unplugged_) return Complete(client, -1, ENODEV);
    if (!mine || lookAgain == UINT64_MAX || !(mayWait || blocking))
        return Complete(client, -1, EAGAIN);
    // Something is in flight: answer when it may be done, as the poll on a real device node
    // would wake then. A reap that must not block waits once, so that libusb still gets to
    // its own time-outs; a blocking one waits until a transfer is done.
    const uint64_t waitNs = std::min(lookAgain > now ? lookAgain - now : 0, LongestReapWaitNs);
    const auto waitMs = static_cast<unsigned>(waitNs / 1'000'000);
    if (waitMs == 0 && !blocking) return Complete(client, -1, EAGAIN);
    auto* pending = new ReapWait{this, static_cast<UMockdevIoctlClient*>(g_object_ref(client))};
    GSource* source = g_timeout_source_new(std::max(waitMs, 1u));
    g_source_set_callback(source, &UsbBed::OnReapTimer, pending, nullptr);
    g_source_attach(source, g_main_context_get_thread_default());
    g_source_unref(source);
}

int UsbBed::OnReapTimer(void* data) {
    auto* pending = static_cast<ReapWait*>(data);
    UsbBed* bed = pending->bed;
    {
        std::lock_guard<std::mutex> lock(bed->mutex_);
        const unsigned long request = umockdev_ioctl_client_get_request(pending->client);
        bed->Reap(pending->client, umockdev_ioctl_client_get_arg(pending->client),
                  request == USBDEVFS_REAPURB, false);
    }
    g_object_unref(pending->client);
    delete pending;
    return G_SOURCE_REMOVE;
}

void UsbBed::Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
    unsigned long address = 0;
    std::memcpy(&address, arg->data, std::min<size_t>(sizeof address, arg->data_len));
    for (auto& urb : urbs_) {
        if (urb->client != client || urb->clientAddress != address) continue;
        if (urb->done) return Complete(client, -1, EINVAL); // too late to cancel
        const int actual = urb->endpoint == BulkIn ? static_cast<int>(urb->in.data.size())
                                                   : static_cast<int>(urb->outTaken);
        if (urb->endpoint == BulkIn && actual > 0)
            std::memcpy(urb->buffer->data, urb->in.data.data(), urb->in.data.size());
        Finish(*urb, -ENOENT, actual, NowNs());
        return Complete(client, 0, 0);
    }
    return Complete(client, -1, EINVAL);
}

} // namespace usbemu
