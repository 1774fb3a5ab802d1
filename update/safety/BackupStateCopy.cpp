#include "update/safety/BackupStateCopy.h"

#include "db/Connection.h"
#include "update/UpdateSession.h"
#include "update/safety/DatabaseBackup.h"
#include "update/safety/MarkedCopy.h"
#include "update/safety/RehearsalCopies.h"

#include <exception>
#include <stdexcept>
#include <utility>

namespace update {

BackupStateCopy::BackupStateCopy(UpdateSession& session, QString path)
    : session_(session), settings_(session.settings()), server_(serverOf(settings_)), path_(std::move(path)),
      mark_(newCopyMark())
{
    // Recorded before it exists: a run killed from here on leaves a copy that a rehearsal finds.
    if (const QString unrecorded = RehearsalCopies(session_.programDir()).add(server_, path_, mark_); !unrecorded.isEmpty())
        throw std::runtime_error(unrecorded.toLocal8Bit().toStdString());
}

BackupStateCopy::~BackupStateCopy()
{
    drop();
}

QString BackupStateCopy::restore(UpdateView& view, const BackupPieces& backup, qint64 bytes,
                                 const std::function<void(const QString&)>& show)
{
    if (const QString failure = restoreCopy(session_, view, backup, path_, bytes, show); !failure.isEmpty()) {
        removeUnmarked();
        return failure;
    }
    try {
        db::Connection copy;
        applyTo(copy, copySettings(settings_, path_));
        copy.open();
        copy.execute("comment on database is '" + mark_.toStdString() + "'");
        copy.close();
        marked_ = true;
        return {};
    } catch (const std::exception& error) {
        removeUnmarked();
        return QStringLiteral("kopii %1 nelze oznacit: ").arg(path_) + QString::fromLocal8Bit(error.what());
    }
}

void BackupStateCopy::removeUnmarked()
{
    bool gone = removeFailedCopy(settings_, path_);
    if (!gone) {
        try {
            gone = !existsWhereTheEngineWrites(settings_)(path_);
        } catch (const std::exception&) {
        }
    }
    if (gone)
        RehearsalCopies(session_.programDir()).remove(server_, path_);
}

bool BackupStateCopy::drop()
{
    if (!marked_)
        return true;
    if (!dropMarkedCopy(settings_, path_, mark_, [] { return 0; }))
        return false;
    RehearsalCopies(session_.programDir()).remove(server_, path_);
    marked_ = false;
    return true;
}

} // namespace update
