#pragma once

#include <QApplication>
#include <QString>

#include <functional>

namespace ui {

// The application object of the interactive program: an exception that escapes an event handler
// goes to the error handler, and the program keeps running. Without a handler nothing is caught.
class GuardedApplication : public QApplication {
    Q_OBJECT
public:
    using ErrorHandler = std::function<void(const QString&)>;

    GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

    void setErrorHandler(ErrorHandler handler) { errorHandler_ = std::move(handler); }
    bool notify(QObject* receiver, QEvent* event) override;

private:
    ErrorHandler errorHandler_;
};

} // namespace ui
