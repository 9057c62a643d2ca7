// Clicks that wait in the queue while Calbrix is busy: one made on a button while it was
// disabled, during a connect or a run, does nothing once the button is enabled again.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "interface/Main.h"
#include "platform/qt/DisabledClickFilter.h"
#include "simulator/SimulatedFtdi.h"
#include "tests/support/MouseClicks.h"
#include "tests/support/TestServices.h"

using testing_support::PostClick;
using testing_support::SendClick;

namespace {

class QueuedClicksTest : public ::testing::Test {
protected:
    testing_support::TestPlatform p;
    sim::SimulatedFtdi box{p.clock};
    platform::Services services = testing_support::ServicesOf(p, box);
    QTemporaryDir folder;
    // As the programs' application does, on the virtual clock that stamps the clicks here.
    platform::DisabledClickFilter filter{[this] { return Now(); }};
    std::unique_ptr<TMainFrm> frm;

    int64_t Now() { return static_cast<int64_t>(p.clock.NowMicros() / 1000); }

    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(QDir(folder.path()).mkdir("Tests"));
        QFile definition(folder.path() + "/Tests/Cable two wires.txt");
        ASSERT_TRUE(definition.open(QIODevice::WriteOnly));
        definition.write("A1 B1\nA2 B2\n");
        definition.close();
        p.process.programFolder = folder.path().toStdString() + "/";
        p.process.dataRoot = folder.path().toStdString();
        qApp->installEventFilter(&filter);
        frm = std::make_unique<TMainFrm>(services);
        frm->Timer1->SetEnabled(false);
        frm->show();
        const int index = frm->CableLst->findText("Cable two wires");
        ASSERT_GE(index, 0);
        frm->CableLst->setCurrentIndex(index);
        emit frm->CableLst->activated(index);
    }
    void TearDown() override { qApp->removeEventFilter(&filter); }

    // Runs action at the next but one processing of window messages from now.
    void Soon(std::function<void()> action) { p.events.At(p.events.Calls() + 2, action); }
};

} // namespace

TEST_F(QueuedClicksTest, ClicksMadeDuringTheConnectDoNothing) {
    Soon([this] {
        ASSERT_FALSE(frm->PowerBtn->isEnabled());
        ASSERT_FALSE(frm->StartBtn->isEnabled());
        PostClick(frm->PowerBtn, Now());
        PostClick(frm->StartBtn, Now());
    });
    SendClick(frm->PowerBtn, Now());
    ASSERT_TRUE(frm->Connected);
    ASSERT_TRUE(frm->StartBtn->isEnabled());
    const size_t boxes = p.boxes.History().size();

    QCoreApplication::processEvents(); // the program takes its events again
    EXPECT_FALSE(frm->DisconnectRequested);
    EXPECT_TRUE(frm->ReportLines().empty()) << "a run started";
    EXPECT_EQ(p.boxes.History().size(), boxes);

    SendClick(frm->PowerBtn, Now()); // a click made now disconnects
    EXPECT_TRUE(frm->DisconnectRequested);
}

TEST_F(QueuedClicksTest, ClickOnDisconnectMadeDuringARunDoesNothing) {
    SendClick(frm->PowerBtn, Now());
    ASSERT_TRUE(frm->Connected);
    Soon([this] {
        ASSERT_FALSE(frm->PowerBtn->isEnabled());
        PostClick(frm->PowerBtn, Now());
        PostClick(frm->CableLst, Now());
    });
    SendClick(frm->StartBtn, Now());
    ASSERT_FALSE(frm->ReportLines().empty());
    ASSERT_TRUE(frm->PowerBtn->isEnabled());

    QCoreApplication::processEvents();
    EXPECT_FALSE(frm->DisconnectRequested);
    EXPECT_TRUE(frm->Connected);
}
