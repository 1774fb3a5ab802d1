#include "update/OtherAttachments.h"

#include "db/Connection.h"
#include "db/EngineError.h"
#include "db/ResultSet.h"
#include "update/AutomaticMode.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"

namespace update {

namespace {

// Not this attachment, not the engine's own (garbage collector, cache writer).
const char* const kOthersQuery =
    "select MON$USER, MON$REMOTE_ADDRESS, MON$REMOTE_PROCESS from MON$ATTACHMENTS "
    "where MON$ATTACHMENT_ID <> CURRENT_CONNECTION and MON$SYSTEM_FLAG = 0 order by MON$ATTACHMENT_ID";

// Only the administrator, the database owner and the RDB$ADMIN role see everybody's attachments.
const char* const kPrivilegeQuery =
    "select trim(CURRENT_USER), trim(CURRENT_ROLE), trim(MON$OWNER) from MON$DATABASE";

QString text(const db::ResultSet& rows, std::size_t column)
{
    return QString::fromStdString(rows.text(column)).trimmed();
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
        const db::ResultSet who = connection.select(kPrivilegeQuery);
        others.user = text(who, 0);
        others.onlyOwnVisible = others.user.compare(QLatin1String("SYSDBA"), Qt::CaseInsensitive) != 0
            && text(who, 1) != QLatin1String("RDB$ADMIN") && others.user.compare(text(who, 2), Qt::CaseInsensitive) != 0;

        db::ResultSet rows = connection.select(kOthersQuery);
        for (; !rows.eof(); rows.next()) {
            const QString address = text(rows, 1);
            const QString process = text(rows, 2);
            others.attachments.append(text(rows, 0) + QLatin1Char('@')
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
    if (isAutomaticMode())
        session.log().WriteLog(QStringLiteral("               | ") + others->summary());
    return view.continueDespite(*others);
}

} // namespace update
