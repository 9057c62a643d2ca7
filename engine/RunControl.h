#pragma once
// How a test part ends a run early: an exception without a message. The run driver catches it
// and every other exception alike.

#include <stdexcept>

class RunAbort : public std::runtime_error {
public:
    RunAbort() : std::runtime_error("") {}
};
