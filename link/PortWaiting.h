#pragma once
// The waiting operations of a port (prompts, blocking reads, the command handshake), written
// once over a port's own primitives so that every port class of both programs shares them.
// Port needs: GetPortNumber, ReadByte, ReadBlock, ReadByteNow, WriteByte, RxCount, TxCount,
// PurgeRx, PurgeTx, SetBaudRate.

#include <cstdint>
#include <functional>
#include <string>

#include "link/Portvirt.h"
#include "platform/Services.h"

namespace boxlink {

inline const char* const GetComError = "Port err. Getcom";
inline const char* const PutComError = "Port err. putcom";
inline const char* const TransmitError = "Port err.";
inline const char* const GetStringError = "Port err. getstring";
inline const char* const SetCmdError = "Port err. Setcmd";
inline const char* const WaitError = "Wait error";

// Where the port classes differ in their waiting operations.
struct WaitingRules {
    bool waitForHasLimit = true; // give up after waitForLimitMs with false
    uint32_t waitForLimitMs = 300000;
    bool waitForRaisesWhenClosed = true; // else the default cursor and false
    int identifyFallbackBaud = 115200;   // tried once in the sixth cycle
    bool identifyDrainsOnlyWhileOpen = false;
    // When set: looked at after the pause of each cycle; true means it found line errors and
    // cleared them, and the echo is not read in that cycle.
    std::function<bool()> identifyClearsLineErrors;
};

template <class Port> bool IsOpen(Port& port) {
    return port.GetPortNumber() > 0;
}

[[noreturn]] inline void RaisePortError(platform::Services& services, const char* text) {
    services.cursor.SetCursor(platform::CursorShape::Default);
    throw PortError(text);
}

template <class Port> int WaitingGetCom(Port& port, platform::Services& services) {
    if (!IsOpen(port)) RaisePortError(services, GetComError);
    for (;;) {
        const int queued = port.RxCount();
        if (queued > 0) break;
        // A failing driver query is as final as a closed port: waiting on would never end.
        if (queued < 0 || !IsOpen(port)) RaisePortError(services, GetComError);
        services.events.ProcessMessages();
        if (!IsOpen(port)) RaisePortError(services, GetComError);
    }
    return port.ReadByte(300000);
}

template <class Port>
bool WaitingGetString(Port& port, platform::Services& services, std::string& text, int maxLen,
                      int timeoutMs) {
    if (!IsOpen(port)) RaisePortError(services, GetStringError);
    text.clear();
    for (;;) {
        uint8_t b = 0;
        if (port.ReadBlock(&b, 1, timeoutMs) != 1) {
            text.clear();
            return false;
        }
        if (b == '\n') return true;
        if (b != '\r') text.push_back(static_cast<char>(b));
        if (static_cast<int>(text.size()) >= maxLen) return true;
    }
}

template <class Port>
bool WaitingWaitFor(Port& port, platform::Services& services, const WaitingRules& rules,
                    const std::string& pattern) {
    const uint32_t start = services.clock.TickCount();
    std::string received;
    for (;;) {
        if (port.RxCount() > 0) {
            const int b = port.ReadByteNow();
            if (b >= 0) {
                received.push_back(static_cast<char>(b));
                if (received.find(pattern) != std::string::npos) return true;
            }
        } else {
            services.events.ProcessMessages();
            if (!IsOpen(port)) {
                if (rules.waitForRaisesWhenClosed) RaisePortError(services, WaitError);
                services.cursor.SetCursor(platform::CursorShape::Default);
                return false;
            }
        }
        if (rules.waitForHasLimit && services.clock.TickCount() - start >= rules.waitForLimitMs)
            return false;
    }
}

// Repeats tryWrite (true once the port took the bytes), then waits for the transmit queue to
// empty and makes the pause after a byte.
template <class Port, class TryWrite>
void WaitingPut(Port& port, platform::Services& services, TryWrite tryWrite, uint32_t byteDelayMs) {
    for (;;) {
        services.events.ProcessMessages();
        if (!IsOpen(port)) RaisePortError(services, PutComError);
        if (tryWrite()) break;
    }
    for (;;) {
        const int pending = port.TxCount();
        if (pending == 0) break;
        if (pending < 0) RaisePortError(services, TransmitError); // closed, or the driver is gone
        services.events.ProcessMessages();
    }
    if (byteDelayMs != 0) services.clock.Sleep(byteDelayMs);
}

template <class Port>
void WaitingPutCom(Port& port, platform::Services& services, uint8_t b, uint32_t byteDelayMs) {
    WaitingPut(
        port, services, [&] { return port.WriteByte(b) == 0; }, byteDelayMs);
}

template <class Port>
int WaitingGetBlock(Port& port, platform::Services& services, uint8_t* buffer, int count,
                    int timeoutMs) {
    int stored = 0;
    while (stored < count) {
        if (!IsOpen(port)) RaisePortError(services, GetComError);
        const int b = port.ReadByte(timeoutMs);
        if (b < 0) break;
        buffer[stored++] = static_cast<uint8_t>(b);
    }
    return stored;
}

template <class Port>
bool WaitingSetCmd(Port& port, platform::Services& services, uint8_t cmd, int timeoutMs,
                   uint32_t byteDelayMs) {
    services.cursor.SetCursor(platform::CursorShape::Hourglass);
    if (!IsOpen(port)) throw PortError(SetCmdError); // the one case that keeps the hourglass
    port.PurgeRx();
    int unanswered = 0;
    for (int send = 0; send < 82; ++send) {
        WaitingPutCom(port, services, 0x40, byteDelayMs);
        if (port.ReadByte(timeoutMs) == 0x40) break;
        ++unanswered;
    }
    port.PurgeTx();
    if (unanswered >= 78) {
        services.cursor.SetCursor(platform::CursorShape::Default);
        return false;
    }
    auto writeUntilAccepted = [&](uint8_t value) {
        for (;;) {
            services.events.ProcessMessages();
            if (!IsOpen(port)) RaisePortError(services, SetCmdError);
            if (port.WriteByte(value) == 0) return;
        }
    };
    int r = -1;
    for (int attempt = 0; attempt < 6; ++attempt) {
        port.PurgeRx();
        writeUntilAccepted(cmd);
        services.clock.Sleep(10);
        writeUntilAccepted(static_cast<uint8_t>(cmd ^ 0xFF));
        r = port.ReadByte(timeoutMs);
        services.events.ProcessMessages();
        if (r != 0xFF && r != -1) break;
    }
    services.cursor.SetCursor(platform::CursorShape::Default);
    if ((r & 0xFF) != cmd || r < 0) return false;
    services.clock.Sleep(20);
    return true;
}

template <class Port>
bool WaitingIdentify(Port& port, platform::Services& services, const WaitingRules& rules,
                     uint32_t byteDelayMs, std::string& first, std::string& second) {
    try {
        for (int cycle = 1;; ++cycle) {
            services.events.ProcessMessages();
            uint8_t b = 0;
            while ((!rules.identifyDrainsOnlyWhileOpen || IsOpen(port)) && port.RxCount() > 0)
                port.ReadBlock(&b, 1, 5000);
            WaitingPutCom(port, services, 0x40, byteDelayMs);
            services.clock.Sleep(100);
            if (cycle == 6) port.SetBaudRate(rules.identifyFallbackBaud);
            if (rules.identifyClearsLineErrors && rules.identifyClearsLineErrors()) continue;
            b = 0;
            if (port.ReadBlock(&b, 1, 5000) == 1 && b == 0x40) break;
        }
        if (!WaitingGetString(port, services, second, 40, 15000)) return false;
        return WaitingGetString(port, services, first, 40, 15000);
    } catch (const std::exception&) {
        services.messageBoxes.Show(
            {"Unknown Baudrate", "", platform::MsgIcon::None, platform::MsgButtons::Ok, 0});
        return false;
    }
}

} // namespace boxlink
