// Saving the report to a file.

#include "interface/Main.h"

void TMainFrm::SaveReport() {
    // Not written yet: the run ends as if the operator had cancelled the save.
}
