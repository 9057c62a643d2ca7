// The take-out and relays parts are not built yet: a run passes over them.

#include "interface/Main.h"

void TMainFrm::RunTakeOutTest() {}

void TMainFrm::RunRelaysTest() {}
