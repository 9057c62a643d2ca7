#pragma once
// A click at a point of a control as a mouse makes it: on the control's top-level window, whose
// own hit-testing hands it to whatever widget lies on top there, so a control that another one
// covers does not get it. The window must be shown. Targets that use it link Qt6::Test.

#include <QPoint>
#include <QTest>
#include <QWidget>
#include <QWindow>

namespace testing_support {

inline QPoint InWindow(const QWidget* control, QPoint local) {
    return control->mapTo(control->window(), local);
}

// The widget that a press at that point of the control reaches.
inline QWidget* WidgetAt(const QWidget* control, QPoint local) {
    return control->window()->childAt(InWindow(control, local));
}

// Whether a press there reaches the control itself (or one of its parts).
inline bool OnTopAt(const QWidget* control, QPoint local) {
    const QWidget* hit = WidgetAt(control, local);
    return hit == control || (hit && control->isAncestorOf(hit));
}

inline void ClickThroughWindow(QWidget* control, QPoint local) {
    QTest::mouseClick(control->window()->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      InWindow(control, local));
}

inline void ClickThroughWindow(QWidget* control) {
    ClickThroughWindow(control, control->rect().center());
}

} // namespace testing_support
