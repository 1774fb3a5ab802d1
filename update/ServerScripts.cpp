#include "update/ServerScripts.h"

#include <QFile>

#include <stdexcept>

namespace update {

namespace {

const QStringList kInstallationOrder = {
    QStringLiteral("REC_PoklDenikInsert2"),
    QStringLiteral("REC_DPH_DeleniPobytu"),
    QStringLiteral("REC_DPH_UzavreniUctu"),
    QStringLiteral("REC_DPH_UZAVRENIVSECHUCTU"),
    QStringLiteral("REC_CHECKHEAD_DPH_TRIGGER"),
};

QStringList linesOf(const QString& resource)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("missing server-side script " + resource.toStdString());
    QString text = QString::fromUtf8(file.readAll());
    text.remove(QLatin1Char('\r'));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text.split(QLatin1Char('\n'));
}

} // namespace

QString ServerScript::statement() const
{
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QList<ServerScript> ServerScripts()
{
    QList<ServerScript> scripts;
    for (const QString& name : kInstallationOrder)
        scripts.append({name, linesOf(QStringLiteral(":/sql/%1.sql").arg(name))});
    return scripts;
}

} // namespace update
