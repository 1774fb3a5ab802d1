#pragma once

#include <QString>

namespace update {

struct RecordedBackup;

// Whether a backup is of the database file the engine has open now (`attachedNow`, as the engine
// resolved the name): its header names the alias, link or path it was made through (or the file
// itself), and the record says that the engine had this very file open then. A backup of another
// database, or one made when the name led elsewhere, is not.
bool isBackupOf(const QString& named, const RecordedBackup& backup, const QString& attachedNow);

// The database a backup was made of, for a refusal: as its header names it, with the file the
// engine had open when it differs.
QString backedUpDatabaseText(const QString& named, const RecordedBackup& backup);

} // namespace update
