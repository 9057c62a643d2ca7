#include "interface/Main.h"

TMainFrm::TMainFrm(platform::Services& services) : services_(services) {}

TMainFrm::~TMainFrm() = default;
