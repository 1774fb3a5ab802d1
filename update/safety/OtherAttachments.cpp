#include "update/safety/OtherAttachments.h"

#include "db/Connection.h"
#include "db/EngineError.h"
#include "db/ResultSet.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"
#include "update/VisibleText.h"

namespace update {

namespace {

// Who asks, and every other user attachment (not this one, not the engine's own garbage
// collector or cache writer): one row with empty attachment columns when there is none. Only
// the administrator, the database owner and the RDB$ADMIN role see other users' attachments.
// One statement, so the monitoring snapshot is taken once.
const char* const kQuery =
    "select trim(CURRENT_USER), trim(CURRENT_ROLE), trim(d.MON$OWNER), a.MON$USER, a.MON$REMOTE_ADDRESS, "
    "a.MON$REMOTE_PROCESS from MON$DATABASE d left join MON$ATTACHMENTS a on a.MON$ATTACHMENT_ID <> "
    "CURRENT_CONNECTION and a.MON$SYSTEM_FLAG = 0 order by a.MON$ATTACHMENT_ID";

// Every value comes out of the monitoring tables, where another client chose some of them: none
// is passed on with its control characters.
QString text(const db::ResultSet& rows, std::size_t column)
{
    return visibleText(QString::fromStdString(rows.text(column)).trimmed());
}

} // namespace

QString OtherAttachments::summary() const
{
    QString result = QStringLiteral("Pripojeno dalsich: %1").arg(attachments.size());
    if (!attachments.isEmpty())
        result += QStringLiteral(" (") + attachments.join(QStringLiteral("; ")) + QLatin1Char(')');
    if (onlyOwnVisible)
        result += QStringLiteral(", uzivatel ") + user
            + QStringLiteral(" vidi jen sva pripojeni, dalsi uzivatele mohou byt pripojeni");
    return result;
}

std::optional<OtherAttachments> readOtherAttachments(db::Connection& connection)
{
    try {
        OtherAttachments others;
        db::ResultSet rows = connection.select(kQuery);
        others.user = text(rows, 0);
        others.onlyOwnVisible = others.user.compare(QLatin1String("SYSDBA"), Qt::CaseInsensitive) != 0
            && text(rows, 1) != QLatin1String("RDB$ADMIN") && others.user.compare(text(rows, 2), Qt::CaseInsensitive) != 0;
        for (; !rows.eof(); rows.next()) {
            if (rows.isNull(3))
                continue;
            const QString address = text(rows, 4);
            const QString process = text(rows, 5);
            others.attachments.append(text(rows, 3) + QLatin1Char('@')
                                      + (address.isEmpty() ? QStringLiteral("lokalne") : address)
                                      + (process.isEmpty() ? QString() : QLatin1Char(' ') + process));
        }
        return others;
    } catch (const db::EngineError&) {
        return std::nullopt;
    }
}

bool confirmOtherAttachments(UpdateSession& session, UpdateView& view)
{
    const std::optional<OtherAttachments> others = readOtherAttachments(session.Database1);
    if (!others || !others->worthWarning())
        return true;
    if (view.isAutomaticMode())
        session.log().WriteLog(QStringLiteral("               | ") + others->summary());
    return view.continueDespite(*others);
}

} // namespace update
