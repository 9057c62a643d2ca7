#include "simulator/PtyFixture.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;
constexpr int IdlePollMs = 20;

std::runtime_error SystemError(const char* what) {
    return std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

} // namespace

PtyFixture::PtyFixture(FixtureSetup setup) : setup_(std::move(setup)) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master_ < 0) throw SystemError("posix_openpt");
    if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
        const auto error = SystemError("unlockpt");
        ::close(master_);
        throw error;
    }
    path_ = ptsname(master_);
    // Raw from the start: bytes the program writes reach us as they are, without a line
    // discipline waiting for a newline or echoing them back.
    termios tio{};
    if (tcgetattr(master_, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(master_, TCSANOW, &tio);
    }
    thread_ = std::thread([this] { Serve(); });
}

PtyFixture::~PtyFixture() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    ::close(master_);
}

std::vector<uint8_t> PtyFixture::Received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

void PtyFixture::Serve() {
    std::vector<uint8_t> answer;
    size_t next = 0; // first byte of the answer not yet written
    Clock::time_point start;
    const double byteSeconds = setup_.ptyBaud > 0 ? 10.0 / setup_.ptyBaud : 0.0;

    while (!stop_) {
        pollfd fd{master_, POLLIN, 0};
        const bool pending = next < answer.size();
        if (pending) fd.events |= POLLOUT;
        int waitMs = IdlePollMs;
        size_t due = answer.size();
        if (pending && byteSeconds > 0) {
            // Bytes due by now at the line's pace.
            const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
            due = std::min(answer.size(), static_cast<size_t>(elapsed / byteSeconds) + 1);
            if (due <= next) {
                fd.events &= static_cast<short>(~POLLOUT);
                waitMs = 1;
            }
        }
        if (poll(&fd, 1, waitMs) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fd.revents & POLLHUP) {
            // Nobody holds the device: whatever was left for it is lost with the line.
            answer.clear();
            next = 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(IdlePollMs));
            continue;
        }
        if (fd.revents & POLLIN) {
            uint8_t buffer[256];
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            for (ssize_t i = 0; i < n; ++i) {
                {
                    std::lock_guard lock(mutex_);
                    received_.push_back(buffer[i]);
                }
                auto reply = FixtureAnswer(setup_, buffer[i]);
                if (!reply.empty()) {
                    answer = std::move(reply);
                    next = 0;
                    start = Clock::now();
                }
            }
        }
        if ((fd.revents & POLLOUT) && next < due) {
            const ssize_t n = ::write(master_, answer.data() + next, due - next);
            if (n > 0) {
                next += static_cast<size_t>(n);
                sent_ += static_cast<uint64_t>(n);
            }
        }
    }
}

} // namespace sim
