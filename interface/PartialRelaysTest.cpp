#include "interface/PartialRelaysTest.h"

#include "interface/Main.h"

TPartialRelaysFrm::TPartialRelaysFrm(TMainFrm& owner) : QDialog(&owner) {
    setObjectName("PartialRelaysFrm");
    setWindowTitle("Partial Relays Test");
}
