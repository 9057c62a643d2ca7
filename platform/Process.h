#pragma once
// The process and its surroundings: priority, keeping the machine awake, starting other
// programs, opening links, the program's folder and command line, and the data root that
// stands for the drive of the program file.

#include <string>
#include <vector>

namespace platform {

enum class PriorityClass { High, Realtime };

class ProcessService {
public:
    virtual ~ProcessService() = default;
    // Failures are the caller's to ignore: the program then runs at normal priority.
    virtual bool RaisePriority(PriorityClass priority) = 0;
    // Keeps the system and the display awake for the life of the process.
    virtual bool KeepAwake() = 0;
    // Starts a program without waiting for it.
    virtual bool StartProgram(const std::string& path, const std::string& arguments) = 0;
    virtual bool OpenLink(const std::string& url) = 0;
    // The folder of the program file, ending with '/'.
    virtual std::string ProgramFolder() = 0;
    // The command-line parameters, without the program name.
    virtual std::vector<std::string> Arguments() = 0;
    // What stands for the drive of the program file: data folders are made below it.
    virtual std::string DataRoot() = 0;
};

// Test double: fixed folder and arguments; records what was asked.
class RecordingProcess final : public ProcessService {
public:
    struct Started {
        std::string path;
        std::string arguments;
    };

    bool RaisePriority(PriorityClass priority) override {
        priorities.push_back(priority);
        return priorityWorks;
    }
    bool KeepAwake() override {
        ++keepAwakeCalls;
        return true;
    }
    bool StartProgram(const std::string& path, const std::string& arguments) override {
        started.push_back({path, arguments});
        return true;
    }
    bool OpenLink(const std::string& url) override {
        links.push_back(url);
        return true;
    }
    std::string ProgramFolder() override { return programFolder; }
    std::vector<std::string> Arguments() override { return arguments; }
    std::string DataRoot() override { return dataRoot; }

    std::string programFolder = "/opt/calbrix/";
    // Nowhere: a window of a test reads no settings file and can make no folder unless the
    // test gives it a folder of its own.
    std::string dataRoot = "/nonexistent/calbrix-data";
    std::vector<std::string> arguments;
    bool priorityWorks = true;
    std::vector<PriorityClass> priorities;
    int keepAwakeCalls = 0;
    std::vector<Started> started;
    std::vector<std::string> links;
};

} // namespace platform
