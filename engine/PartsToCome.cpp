// The take-out, isolation and relays parts are not built yet: a run passes over them.

#include "interface/Main.h"

void TMainFrm::RunTakeOutTest() {}

void TMainFrm::RunIsolationTest() {}

void TMainFrm::RunRelaysTest() {}
