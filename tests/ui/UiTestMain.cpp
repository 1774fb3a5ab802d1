#include <QApplication>

#include <gtest/gtest.h>

#ifdef DPH_AUTOMATIC_MODE
#include "update/AutomaticMode.h"
#endif

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
#ifdef DPH_AUTOMATIC_MODE
    update::setAutomaticMode();
#endif
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
