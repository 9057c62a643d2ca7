// The program's help.

#include "interface/Main.h"

void TMainFrm::ShowHelp() {}

void TMainFrm::CloseAllHelp() {}
