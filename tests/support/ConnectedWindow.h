#pragma once
// The main window with the simulated box connected behind its port, as after a Connect, its
// timer off so that a test drives the box alone.

#include <gtest/gtest.h>

#include <memory>

#include "interface/Main.h"
#include "simulator/SimulatedFtdi.h"
#include "tests/support/TestServices.h"

namespace testing_support {

class ConnectedWindowTest : public ::testing::Test {
protected:
    TestPlatform p;
    sim::SimulatedFtdi box{p.clock};
    platform::Services services = ServicesOf(p, box);
    TMainFrm frm{services};

    void SetUp() override {
        frm.Timer1->SetEnabled(false);
        frm.Port = std::make_unique<TPortUSB>(services);
        ASSERT_EQ(frm.Port->Open(5, 9600, "", false, "", 0), 5);
        frm.Connected = true;
        frm.HtSelectable = 1;
    }
};

} // namespace testing_support
