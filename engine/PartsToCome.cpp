// The take-out and isolation parts are not built yet: a run passes over them.

#include "interface/Main.h"

void TMainFrm::RunTakeOutTest() {}

void TMainFrm::RunIsolationTest() {}
