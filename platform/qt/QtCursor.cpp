#include "platform/qt/QtCursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace platform {

QtCursor::~QtCursor() {
    if (current_ == CursorShape::Hourglass) QGuiApplication::restoreOverrideCursor();
}

void QtCursor::SetCursor(CursorShape shape) {
    if (shape == current_) return;
    if (shape == CursorShape::Hourglass)
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QGuiApplication::restoreOverrideCursor();
    current_ = shape;
}

ScreenPoint QtCursor::Position() const {
    const QPoint p = QCursor::pos();
    return {p.x(), p.y()};
}

} // namespace platform
