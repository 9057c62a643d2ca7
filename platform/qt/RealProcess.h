#pragma once
// The process over POSIX and Qt: nice values, D-Bus inhibitors, detached programs, the
// desktop's link handler and the application's folder and command line.

#include "platform/Process.h"

namespace platform {

class RealProcess final : public ProcessService {
public:
    RealProcess() = default;
    ~RealProcess() override;
    RealProcess(const RealProcess&) = delete;
    RealProcess& operator=(const RealProcess&) = delete;

    // High is nice -10, Realtime nice -20 (not SCHED_FIFO: a polling main thread at a real-time
    // policy could starve the desktop). Applies to every thread of the process, never lowers a
    // priority already higher, and needs the right to raise it (root or CAP_SYS_NICE).
    bool RaisePriority(PriorityClass priority) override;
    // Inhibits the screen saver (session bus) and idle sleep (logind); true when either holds.
    // Both last until the process ends.
    bool KeepAwake() override;
    // A non-empty argument text goes to the program as one argument, as it stands.
    bool StartProgram(const std::string& path, const std::string& arguments) override;
    bool OpenLink(const std::string& url) override;
    std::string ProgramFolder() override;
    std::vector<std::string> Arguments() override;
    // CALBRIX_DATA_ROOT when set and not empty, else the home folder; without a trailing '/',
    // as a drive letter has none ("/" itself becomes "").
    std::string DataRoot() override;

private:
    bool screenSaverInhibited_ = false;
    int sleepInhibitFd_ = -1;
};

} // namespace platform
