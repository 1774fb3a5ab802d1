#include "update/ServerScripts.h"

#include <QFile>

namespace update {

namespace {

QStringList linesOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw MissingServerScript("the server-side script text " + path.toStdString()
                                  + " is missing; nothing has been sent to the database");
    QString text = QString::fromUtf8(file.readAll());
    if (text.trimmed().isEmpty())
        throw MissingServerScript("the server-side script text " + path.toStdString()
                                  + " is empty; nothing has been sent to the database");
    text.remove(QLatin1Char('\r'));
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    return text.split(QLatin1Char('\n'));
}

} // namespace

QList<ServerObject> serverObjects()
{
    return {{QStringLiteral("REC_PoklDenikInsert2")},
            {QStringLiteral("REC_DPH_DeleniPobytu")},
            {QStringLiteral("REC_DPH_UzavreniUctu")},
            {QStringLiteral("REC_DPH_UZAVRENIVSECHUCTU")},
            {QStringLiteral("REC_CHECKHEAD_DPH_TRIGGER"), true}};
}

QString ServerScript::statement() const
{
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

QList<ServerScript> ServerScripts(const QString& directory)
{
    QList<ServerScript> scripts;
    for (const ServerObject& object : serverObjects())
        scripts.append({object.name, linesOf(QStringLiteral("%1/%2.sql").arg(directory, object.name))});
    return scripts;
}

} // namespace update
