// The isolation part is not built yet: a run passes over it.

#include "interface/Main.h"

void TMainFrm::RunIsolationTest() {}
