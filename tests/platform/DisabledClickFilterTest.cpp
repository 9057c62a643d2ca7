// Clicks that wait in the queue until the program takes its events again: one made while its
// control was disabled does nothing once the control is enabled, any other still clicks.

#include <QApplication>
#include <QPushButton>

#include <gtest/gtest.h>

#include <cstdint>

#include "platform/qt/DisabledClickFilter.h"
#include "tests/support/MouseClicks.h"

using testing_support::PostClick;

namespace {

enum class Learnt { Yes, No };

struct Case {
    const char* what;
    int64_t madeAt;      // ms from Base on the filter's clock; disabled from 1000 to 5000
    int64_t stampOffset; // the window system's clock minus the filter's
    QEvent::Type press;
    Learnt learnt;
    bool disableParent;
    int clicks;
};

// The filter's clock: a machine up for two months.
constexpr int64_t Base = 5'000'000'000;

} // namespace

TEST(DisabledClickFilterTest, ClickMadeWhileItsControlWasDisabledDoesNothing) {
    constexpr QEvent::Type Press = QEvent::MouseButtonPress;
    constexpr QEvent::Type Double = QEvent::MouseButtonDblClick;
    // Milliseconds since the program started, as Qt stamps events without a window system.
    constexpr int64_t SinceStart = -Base + 60'000;
    const Case cases[] = {
        {"made before the control was disabled", 500, 70000, Press, Learnt::Yes, false, 1},
        {"made as it was disabled", 1000, 70000, Press, Learnt::Yes, false, 0},
        {"made while disabled", 3000, 70000, Press, Learnt::Yes, false, 0},
        {"made just before it was enabled", 4990, 70000, Press, Learnt::Yes, false, 0},
        {"made once enabled", 5000, 70000, Press, Learnt::Yes, false, 1},
        {"stamped by a clock behind", 3000, SinceStart, Press, Learnt::Yes, false, 0},
        {"stamped by a clock behind, once enabled", 5000, SinceStart, Press, Learnt::Yes, false, 1},
        {"double click while disabled", 3000, 70000, Double, Learnt::Yes, false, 0},
        {"disabled with its parent", 3000, 70000, Press, Learnt::Yes, true, 0},
        // Without a prompt event to learn the window system's clock from, nothing is dropped.
        {"no clock learnt yet", 3000, 70000, Press, Learnt::No, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int64_t now = 0;
        platform::DisabledClickFilter filter([&] { return now; });
        qApp->installEventFilter(&filter);
        QWidget parent;
        parent.resize(200, 100);
        QPushButton button("Run test", &parent);
        button.setGeometry(10, 10, 80, 24);
        parent.show();
        int clicks = 0;
        QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
        QWidget& disabled = c.disableParent ? parent : static_cast<QWidget&>(button);

        if (c.learnt == Learnt::Yes) {
            // A move over the window, handed over 1 ms after it was made.
            QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            move.setTimestamp(static_cast<uint64_t>(Base + c.stampOffset + 100));
            now = Base + 101;
            QCoreApplication::sendEvent(&parent, &move);
        }
        now = Base + 1000;
        disabled.setEnabled(false);
        now = Base + 5000;
        disabled.setEnabled(true);
        PostClick(&button, static_cast<uint64_t>(Base + c.stampOffset + c.madeAt), c.press);
        now = Base + 5200; // the program takes its events again
        QCoreApplication::processEvents();
        EXPECT_EQ(clicks, c.clicks);
        qApp->removeEventFilter(&filter);
    }
}

TEST(DisabledClickFilterTest, WindowSystemClockThatWrapsIsLearntAgain) {
    // An X server's clock is 32-bit milliseconds: it wraps every 49.7 days.
    int64_t now = Base;
    platform::DisabledClickFilter filter([&] { return now; });
    qApp->installEventFilter(&filter);
    QPushButton button("Run test");
    button.resize(80, 24);
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
    auto moveStampedAt = [&](uint64_t stamp) {
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        move.setTimestamp(stamp);
        ++now;
        QCoreApplication::sendEvent(&button, &move);
    };
    moveStampedAt(0xFFFFFFFFu - 50);
    now += 60;
    moveStampedAt(10); // the server's clock went round
    const int64_t wrappedAt = now - 11;
    now = Base + 1000;
    button.setEnabled(false);
    now = Base + 5000;
    button.setEnabled(true);
    PostClick(&button, static_cast<uint64_t>(Base + 3000 - wrappedAt));
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks, 0);
    qApp->removeEventFilter(&filter);
}

TEST(DisabledClickFilterTest, ClickWithoutATimeStampStillClicks) {
    int64_t now = 10;
    platform::DisabledClickFilter filter([&] { return now; });
    qApp->installEventFilter(&filter);
    QPushButton button("Run test");
    button.resize(80, 24);
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
    testing_support::SendClick(&button, 5); // the clock learnt
    button.setEnabled(false);
    now = 500;
    button.setEnabled(true);
    PostClick(&button, 0); // made by the program, with no time of its own
    QCoreApplication::processEvents();
    EXPECT_EQ(clicks, 2);
    qApp->removeEventFilter(&filter);
}
