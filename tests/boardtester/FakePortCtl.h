#pragma once
// A scripted serial-port control: records every method call and property write in order,
// answers reads from a queue of received bytes.

#include <deque>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/PortCtl.h"

namespace boardtester_tests {

class FakePortCtl final : public platform::TPortCtl {
public:
    struct Shared {
        std::vector<std::string> log; // "Open", "Close", "ClearTxBuffer", "set 9=1" ...
        std::map<int, int> properties;
        std::deque<uint8_t> received;
        std::vector<uint8_t> written;
        int openResult = 1;
        std::function<void()> onOpen; // may raise, as a failing control does
        bool opened = false;
        bool destroyed = false;
    };
    explicit FakePortCtl(Shared& shared) : s_(shared) {}
    ~FakePortCtl() override { s_.destroyed = true; }

    int Open() override {
        s_.log.push_back("Open");
        if (s_.onOpen) s_.onOpen();
        s_.opened = s_.openResult != 0 && s_.openResult != -1;
        return s_.openResult;
    }
    void Close() override {
        s_.log.push_back("Close");
        s_.opened = false;
    }
    int ReadByte() override { return Take(); }
    int ReadByteTimed(int /*timeoutMs*/) override { return Take(); }
    int WriteByte(uint8_t b) override {
        s_.written.push_back(b);
        return 0;
    }
    int WriteByteBuffer(const uint8_t* buffer, int length) override {
        s_.written.insert(s_.written.end(), buffer, buffer + length);
        return 0;
    }
    int ReadByteBufferTimed(uint8_t* buffer, int count, int /*timeoutMs*/) override {
        int n = 0;
        while (n < count && !s_.received.empty()) buffer[n++] = static_cast<uint8_t>(Take());
        return n;
    }
    void ClearLineStatus() override { s_.log.push_back("ClearLineStatus"); }
    void ClearTxBuffer() override { s_.log.push_back("ClearTxBuffer"); }
    int GetProperty(int dispId) override {
        if (dispId == platform::DispRxCount) return static_cast<int>(s_.received.size());
        if (dispId == platform::DispTxCount) return 0;
        return s_.properties[dispId];
    }
    void SetProperty(int dispId, int value) override {
        s_.log.push_back("set " + std::to_string(dispId) + "=" + std::to_string(value));
        s_.properties[dispId] = value;
    }

private:
    int Take() {
        if (s_.received.empty()) return -1;
        const int b = s_.received.front();
        s_.received.pop_front();
        return b;
    }
    Shared& s_;
};

class FakePortCtlFactory final : public platform::PortCtlFactory {
public:
    FakePortCtl::Shared shared;
    bool fails = false;
    std::unique_ptr<platform::TPortCtl> Create() override {
        if (fails) throw std::runtime_error("Class not registered");
        return std::make_unique<FakePortCtl>(shared);
    }
};

} // namespace boardtester_tests
