#include "ui/GuardedApplication.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

// An event handler that fails the way a command can fail.
class Failing : public QObject {
public:
    int handled = 0;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::User)
            return QObject::event(event);
        ++handled;
        throw std::runtime_error("conversion failed: '~FAIL~' is not a valid integer value");
    }
};

ui::GuardedApplication& application()
{
    return *static_cast<ui::GuardedApplication*>(QCoreApplication::instance());
}

TEST(GuardedApplication, AnErrorFromAnEventHandlerGoesToTheHandlerAndTheLoopGoesOn)
{
    QStringList shown;
    application().setErrorHandler([&shown](const QString& text) { shown.append(text); });
    Failing target;
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    application().setErrorHandler({});
    EXPECT_EQ(target.handled, 2);
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown.first(), QStringLiteral("conversion failed: '~FAIL~' is not a valid integer value"));
}

TEST(GuardedApplication, WithoutAHandlerTheErrorIsNotSwallowed)
{
    Failing target;
    QEvent event(QEvent::User);
    EXPECT_THROW(QCoreApplication::sendEvent(&target, &event), std::runtime_error);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ui::GuardedApplication guarded(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
