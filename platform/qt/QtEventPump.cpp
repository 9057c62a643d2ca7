#include "platform/qt/QtEventPump.h"

#include <QCoreApplication>

namespace platform {

void QtEventPump::ProcessMessages() {
    QCoreApplication::processEvents();
}

} // namespace platform
