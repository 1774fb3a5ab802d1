#include "update/TestHold.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

namespace update {

void holdForTest(const char* point)
{
    const QByteArray hold = qgetenv("DPH2012_TEST_HOLD");
    const QByteArray prefix = QByteArray(point) + '=';
    if (!hold.startsWith(prefix))
        return;
    QFile marker(QFile::decodeName(hold.mid(prefix.size())));
    if (!marker.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return;
    // The process held, for a test that must see it end.
    marker.write(QByteArray::number(QCoreApplication::applicationPid()));
    marker.close();
    const QDeadlineTimer limit(60000);
    while (marker.exists() && !limit.hasExpired())
        QThread::msleep(5);
}

} // namespace update
