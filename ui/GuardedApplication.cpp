#include "ui/GuardedApplication.h"

#include <exception>

namespace ui {

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    if (!errorHandler_)
        return QApplication::notify(receiver, event);
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        errorHandler_(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        errorHandler_(QStringLiteral("Neznámá chyba"));
    }
    return false;
}

} // namespace ui
