#pragma once
// A umockdev test bed with one emulated FTDI chip on USB bus 1: libusb finds it in the bed's
// sysfs, and the usbdevfs requests it makes on the device node come to this handler, which
// answers them from the chip model in real time. Transfers complete when the chip would
// complete them; a reap that finds none due is answered when one is, so libusb waits as it
// does on a real device instead of spinning.
//
// The process must run under umockdev's preload library (LD_PRELOAD=libumockdev-preload.so.0).
// The handler runs on umockdev's own thread; a lock keeps the chip for one side at a time.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/usb/FtdiChip.h"

typedef struct _UMockdevTestbed UMockdevTestbed;
typedef struct _UMockdevIoctlBase UMockdevIoctlBase;
typedef struct _UMockdevIoctlClient UMockdevIoctlClient;
typedef struct _UMockdevIoctlData UMockdevIoctlData;

namespace usbemu {

// A bulk transfer that fails as on a noisy bus: -EPROTO or -EILSEQ (the host controller gave up
// on a packet; libusb reports LIBUSB_ERROR_IO), or -EPIPE, a stall, after which the endpoint
// stays halted, every transfer on it stalling at once, until the host clears the halt
// (USBDEVFS_CLEAR_HALT). The fault takes the first transfer on `endpoint` that starts after
// `afterBytes` data bytes have gone that way, and the `count` - 1 after it (-1: every one from
// then on). A failed transfer moves no data: the chip keeps what it had for the next one, as the
// packet the host did not acknowledge stays in a real chip.
// With `carriesData` (bulk IN only) the fault takes instead the first transfer from then on that
// brings data, and fails it only at its end: the host gets the packets that came, with the error,
// as a host controller ends a transfer at a packet it could not take. libusb passes such data on
// for -EOVERFLOW (the device babbled); for the bus errors it drops it.
// On endpoint 0 the fault takes control transfers of one request instead (the setup's bRequest
// and wValue), the bytes counted those that went out on the bulk endpoint: the request fails as
// the bus failed it, the chip never sees it, and the device goes on.
struct TransferFault {
    uint8_t endpoint = 0;
    int error = 0; // a negative errno
    uint64_t afterBytes = 0;
    int count = 1;
    bool carriesData = false;
    uint8_t request = 0; // endpoint 0 only
    uint16_t value = 0;
};

class UsbBed {
public:
    static constexpr uint8_t InEndpoint = 0x81;
    static constexpr uint8_t OutEndpoint = 0x02;

    explicit UsbBed(std::unique_ptr<FtdiChip> chip);
    ~UsbBed();
    UsbBed(const UsbBed&) = delete;
    UsbBed& operator=(const UsbBed&) = delete;

    // True when the preload library is in the process, so that libusb sees the bed.
    static bool Preloaded();

    // The chip leaves the bus: its device loses power, transfers in flight end as on a real
    // unplug, every later request fails, and the device is gone from sysfs.
    void Unplug();
    // The same, at once when `bytes` data bytes have gone through `endpoint` (the chip has taken
    // them from the host, or the host has got them), before the device can answer a byte more.
    void UnplugAfter(uint8_t endpoint, uint64_t bytes);

    // The device node may be read but not written by any user, as a node that no udev rule has
    // given to the user's group; the bed's folders are open to every user. A user other than
    // root then finds the device listed and has its open refused (libusb: LIBUSB_ERROR_ACCESS).
    // Root is not bound by the mode: a test run as root opens it as another user.
    void DenyAccess();

    void AddTransferFault(const TransferFault& fault);
    // The transfers that faults or a halt failed, as "0x81 EPROTO" ..., in order, and when the
    // first of them failed.
    std::vector<std::string> FailedTransfers();
    std::optional<std::chrono::steady_clock::time_point> FirstFailure();

    // The chip brought up to now, for a test to look at or change; the handler waits
    // meanwhile.
    template <class F> decltype(auto) WithChip(F&& f) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!unplugged_) Advance(NowNs());
        return f(*chip_);
    }

    // Requests the chip or the bed did not know, each named; empty when all went well.
    std::vector<std::string> Faults();
    // Opens of the device node, interface claims and releases, halts cleared, in order.
    // (umockdev 0.17 does not tell when a client closes the node.)
    std::vector<std::string> Events();
    // The bulk transfers the host submitted, by size.
    struct Transfer {
        bool in = false;
        size_t bytes = 0;
    };
    std::vector<Transfer> Transfers();
    // Data bytes the chip has sent the host, status bytes left out.
    uint64_t BytesIn();

private:
    struct Urb;

    static int OnIoctl(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
    static void OnConnected(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
    static void OnVanished(UMockdevIoctlBase* handler, UMockdevIoctlClient* client, void* self);
    static int OnReapTimer(void* data);

    uint64_t NowNs() const;
    // Answers one request, at once or (a reap waiting for a transfer) later.
    void Handle(UMockdevIoctlClient* client);
    void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void SyncControl(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    // A reap that finds nothing done may wait (once, unless it is the blocking kind) for the
    // time a transfer may be done.
    void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg, bool blocking, bool mayWait);
    void Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    void ClearHalt(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
    // The error a transfer on `endpoint` starting now ends with, from a halt or a fault; 0 for
    // none. With `carrying`, that of a fault that fails an IN transfer which brought data.
    int TransferError(uint8_t endpoint, bool carrying = false);
    // The same for a control transfer of `setup`.
    int ControlError(const ControlSetup& setup);
    // Whether an unplug asked for by UnplugAfter is due now.
    bool UnplugDue() const;
    // The chip loses power and what is in flight ends; the bed's lock is held.
    void PowerOffLocked(uint64_t nowNs);
    // The device leaves sysfs, as the kernel tells udev; without the bed's lock.
    void RemoveFromSysfs();
    // Moves every transfer in flight on as far as now; the earliest time one may be done.
    uint64_t Advance(uint64_t nowNs);
    void Finish(Urb& urb, int status, int actual, uint64_t atNs);
    void Complete(UMockdevIoctlClient* client, long result, int error);
    void Fault(std::string text);

    std::mutex mutex_;
    std::unique_ptr<FtdiChip> chip_;
    UMockdevTestbed* testbed_ = nullptr;
    UMockdevIoctlBase* handler_ = nullptr;
    std::string sysPath_;
    uint64_t startNs_ = 0;
    bool unplugged_ = false;
    std::optional<std::pair<uint8_t, uint64_t>> unplugAfter_;
    // Takes a due unplug out of sysfs, away from the handler's thread whose request made it due.
    std::thread remover_;
    // While opens are refused: umockdev 0.17's preload library keeps what it set up for an open
    // of the node that failed, under the fd -1, and holds 50 such at most; closing fd -1 (which
    // reaches only the preload) lets one go. A program that tries hundreds of opens needs that.
    std::thread releaser_;
    std::atomic<bool> stopReleasing_{false};
    UMockdevIoctlClient* claimant_ = nullptr; // the open file holding interface 0
    std::deque<std::unique_ptr<Urb>> urbs_;
    std::vector<std::string> faults_;
    std::vector<std::string> events_;
    std::vector<Transfer> transfers_;
    std::vector<TransferFault> transferFaults_;
    std::set<uint8_t> halted_;
    uint64_t bytesIn_ = 0; // data bytes the host got, status bytes left out
    uint64_t bytesOut_ = 0;
    std::vector<std::string> failed_;
    std::optional<std::chrono::steady_clock::time_point> firstFailure_;
};

} // namespace usbemu
