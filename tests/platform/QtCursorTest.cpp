#include "platform/qt/QtCursor.h"
#include "platform/qt/QtEventPump.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMetaObject>

#include <gtest/gtest.h>

namespace platform {
namespace {

// How many override levels are pushed, taking them all off (tests leave none behind).
int PopOverrides() {
    int levels = 0;
    while (QGuiApplication::overrideCursor()) {
        QGuiApplication::restoreOverrideCursor();
        ++levels;
    }
    return levels;
}

TEST(QtCursorTest, TheHourglassIsOneOverrideLevelHoweverOftenItIsSet) {
    QtCursor cursor;
    cursor.SetCursor(CursorShape::Hourglass);
    cursor.SetCursor(CursorShape::Hourglass);
    EXPECT_EQ(cursor.Current(), CursorShape::Hourglass);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);

    cursor.SetCursor(CursorShape::Default);
    EXPECT_EQ(cursor.Current(), CursorShape::Default);
    EXPECT_EQ(PopOverrides(), 0);
}

TEST(QtCursorTest, TheDefaultLeavesOverridesOfOthersAlone) {
    QGuiApplication::setOverrideCursor(QCursor(Qt::CrossCursor));
    {
        QtCursor cursor;
        cursor.SetCursor(CursorShape::Default);
        cursor.SetCursor(CursorShape::Hourglass);
        cursor.SetCursor(CursorShape::Default);
        cursor.SetCursor(CursorShape::Default);
    }
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::CrossCursor);
    EXPECT_EQ(PopOverrides(), 1);
}

TEST(QtCursorTest, AnHourglassLeftOnIsTakenBackWithTheService) {
    {
        QtCursor cursor;
        cursor.SetCursor(CursorShape::Hourglass);
    }
    EXPECT_EQ(PopOverrides(), 0);
}

TEST(QtEventPumpTest, RunsWhatIsPending) {
    int ran = 0;
    QMetaObject::invokeMethod(
        qApp, [&ran] { ++ran; }, Qt::QueuedConnection);
    EXPECT_EQ(ran, 0);
    QtEventPump pump;
    pump.ProcessMessages();
    EXPECT_EQ(ran, 1);
}

} // namespace
} // namespace platform
