#pragma once
// The whole of a file the programs were pointed at: the settings file, test definitions, the
// certificate title, bench and fixture descriptions. Only a regular file is read. A FIFO, a
// device or a socket in its place is never opened: opening a FIFO waits for a writer that may
// never come, and opening a device can act on it (a serial port raises its lines). The check
// is made again on what was opened, so a file swapped in between is caught as well.

#include <cstddef>
#include <string>

namespace platform {

struct FileRead {
    enum class Outcome {
        Read,     // bytes holds the whole file
        Missing,  // nothing of that name
        NotAFile, // a folder, FIFO, device or socket
        TooLarge, // more than the limit: not read, or not kept
        Failed,   // it could not be opened or read; error tells why
    };
    Outcome outcome = Outcome::Failed;
    std::string bytes;
    int error = 0;       // the errno of Missing and Failed
    bool folder = false; // NotAFile: it is a folder
    size_t limit = 0;    // the most bytes that were to be read

    bool Ok() const { return outcome == Outcome::Read; }
    // Why it was not read, as a sentence without its full stop: "No such file or directory",
    // "It is not a file", "It is larger than 64 MB".
    std::string Reason() const;
};

// Reads at most mostBytes bytes; a file that holds more is TooLarge.
FileRead ReadRegularFile(const std::string& path, size_t mostBytes);

} // namespace platform
