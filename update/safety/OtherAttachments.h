#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace db {
class Connection;
}

namespace update {

class UpdateSession;
class UpdateView;

// The other user attachments to the database, from its monitoring tables.
struct OtherAttachments {
    // "<user>@<address> <process>" each.
    QStringList attachments;
    // The user is not privileged to see other users' attachments, so the list may be short.
    bool onlyOwnVisible = false;
    QString user;

    // Worth telling the operator: someone else is attached, or nobody could be seen anyway.
    bool worthWarning() const { return !attachments.isEmpty() || onlyOwnVisible; }
    // "Pripojeno dalsich: N (<user>@<address> <process>; ...)", with what a limited user cannot see.
    QString summary() const;
};

// Reads them without logging anything; nothing when the monitoring tables cannot be read.
std::optional<OtherAttachments> readOtherAttachments(db::Connection& connection);

// Before a command changes anything: when others are attached, the view decides whether to go
// on; in automatic mode they are also logged, as one entry. True to go on.
bool confirmOtherAttachments(UpdateSession& session, UpdateView& view);

} // namespace update
