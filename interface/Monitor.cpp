#include "interface/Monitor.h"

#include "interface/Main.h"

TMonitorFrm::TMonitorFrm(TMainFrm& owner) : QDialog(&owner) {
    setObjectName("MonitorFrm");
}
