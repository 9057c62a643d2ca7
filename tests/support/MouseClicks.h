#pragma once
// A left click on a control as the window system hands it over: a press and a release at the
// control's middle, stamped with the time they were made. Sent, it arrives now; posted, it
// waits, as a click queued while the program is busy, until the program takes its events.

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

#include <cstdint>
#include <memory>

namespace testing_support {

inline std::unique_ptr<QMouseEvent> MouseEvent(QEvent::Type type, QWidget* control,
                                               uint64_t madeMs) {
    const QPointF middle = QRectF(control->rect()).center();
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    auto event = std::make_unique<QMouseEvent>(type, middle, control->mapToGlobal(middle),
                                               Qt::LeftButton, held, Qt::NoModifier);
    event->setTimestamp(madeMs);
    return event;
}

inline void SendClick(QWidget* control, uint64_t madeMs) {
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::sendEvent(control, MouseEvent(type, control, madeMs).get());
}

inline void PostClick(QWidget* control, uint64_t madeMs,
                      QEvent::Type press = QEvent::MouseButtonPress) {
    QCoreApplication::postEvent(control, MouseEvent(press, control, madeMs).release());
    QCoreApplication::postEvent(control,
                                MouseEvent(QEvent::MouseButtonRelease, control, madeMs).release());
}

} // namespace testing_support
