#include "update/safety/BackupRecord.h"

#include "update/RunLog.h"
#include "update/UpdateSession.h"
#include "db/Connection.h"
#include "db/ResultSet.h"
#include "update/safety/OwnFile.h"

#include <QDir>
#include <QList>

#include <algorithm>

namespace update {

namespace {

// The newest ones are enough to go back with; an endless record would only grow.
constexpr std::size_t kKept = 50;

// One line per backup, its fields separated by tabs, in the order of RecordedBackup; a record of
// an earlier version lacks the last ones.
constexpr int kFields = 11;

// "901-907,1020-1031"; nothing when a range does not read as one.
std::optional<TransactionRanges> rangesFrom(const QByteArray& text)
{
    TransactionRanges ranges;
    for (const QByteArray& each : text.split(',')) {
        if (each.isEmpty())
            continue;
        const QList<QByteArray> ends = each.split('-');
        bool first = false, end = false;
        if (ends.size() != 2)
            return std::nullopt;
        ranges.emplace_back(ends[0].toLongLong(&first), ends[1].toLongLong(&end));
        if (!first || !end || ranges.back().first > ranges.back().second)
            return std::nullopt;
    }
    return ranges;
}

QByteArray rangesText(const TransactionRanges& ranges)
{
    QByteArrayList parts;
    for (const auto& [first, end] : ranges)
        parts.append(QByteArray::number(first) + '-' + QByteArray::number(end));
    return parts.join(',');
}

bool fitsALine(const QString& text)
{
    return !text.contains(QLatin1Char('\t')) && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'));
}

std::optional<RecordedBackup> parsed(const QByteArray& line)
{
    const QList<QByteArray> fields = line.split('\t');
    if (fields.size() < kFields - 3 || fields.size() > kFields)
        return std::nullopt;
    RecordedBackup backup;
    bool ok[4] = {};
    backup.database = QString::fromUtf8(fields[0]);
    backup.file = QString::fromUtf8(fields[1]);
    backup.bytes = fields[2].toLongLong(&ok[0]);
    backup.sha256 = QString::fromLatin1(fields[3]);
    backup.made = QDateTime::fromString(QString::fromLatin1(fields[4]), Qt::ISODate);
    backup.proved = fields[5] == "1";
    backup.transactionAtBackup = fields[6].toLongLong(&ok[1]);
    backup.transactionAfterOwnWork = fields[7].toLongLong(&ok[2]);
    backup.attached = QString::fromUtf8(fields.value(8));
    const std::optional<TransactionRanges> ranges = rangesFrom(fields.value(9));
    const std::optional<TransactionRanges> shared = rangesFrom(fields.value(10));
    if (!ranges || !shared)
        return std::nullopt;
    backup.ownRanges = *ranges;
    backup.sharedRanges = *shared;
    ok[3] = backup.made.isValid() && !backup.file.isEmpty() && (fields[5] == "0" || fields[5] == "1");
    if (!std::all_of(std::begin(ok), std::end(ok), [](bool each) { return each; }))
        return std::nullopt;
    return backup;
}

QByteArray line(const RecordedBackup& backup)
{
    return backup.database.toUtf8() + '\t' + backup.file.toUtf8() + '\t' + QByteArray::number(backup.bytes) + '\t'
        + backup.sha256.toLatin1() + '\t' + backup.made.toUTC().toString(Qt::ISODate).toLatin1() + '\t'
        + (backup.proved ? "1" : "0") + '\t' + QByteArray::number(backup.transactionAtBackup) + '\t'
        + QByteArray::number(backup.transactionAfterOwnWork) + '\t' + backup.attached.toUtf8() + '\t'
        + rangesText(backup.ownRanges) + '\t' + rangesText(backup.sharedRanges) + '\n';
}

} // namespace

TransactionRanges RecordedBackup::ownWork() const
{
    if (!ownRanges.empty() || transactionAfterOwnWork == 0)
        return ownRanges;
    return {{transactionAtBackup, transactionAfterOwnWork}};
}

BackupRecord::BackupRecord(const QString& programDir) : filePath_(QDir(programDir).filePath(kBackupRecordFileName)) {}

std::vector<RecordedBackup> BackupRecord::all() const
{
    std::vector<RecordedBackup> backups;
    if (const std::optional<QByteArray> content = readOwnFile(filePath_))
        for (const QByteArray& each : content->split('\n'))
            if (const std::optional<RecordedBackup> backup = parsed(each))
                backups.push_back(*backup);
    return backups;
}

QString BackupRecord::write(const std::vector<RecordedBackup>& backups) const
{
    QByteArray content;
    for (std::size_t at = backups.size() > kKept ? backups.size() - kKept : 0; at < backups.size(); ++at)
        content += line(backups[at]);
    const QString failure = replaceOwnFile(filePath_, content);
    return failure.isEmpty() ? failure : filePath_ + QStringLiteral(": ") + failure;
}

QString BackupRecord::add(const RecordedBackup& backup) const
{
    if (!fitsALine(backup.database) || !fitsALine(backup.file) || !fitsALine(backup.sha256) || !fitsALine(backup.attached))
        return QStringLiteral("%1: zalohu %2 nelze zaznamenat").arg(filePath_, backup.file);
    std::vector<RecordedBackup> backups = all();
    backups.push_back(backup);
    return write(backups);
}

QString BackupRecord::markProved(const QString& database, const QString& file) const
{
    std::vector<RecordedBackup> backups = all();
    for (RecordedBackup& backup : backups)
        if (backup.database == database && backup.file == file)
            backup.proved = true;
    return write(backups);
}

QString BackupRecord::restart(const QString& database, RecordedBackup restored, qint64 next) const
{
    std::vector<RecordedBackup> backups = all();
    backups.erase(std::remove_if(backups.begin(), backups.end(),
                                 [&](const RecordedBackup& backup) { return backup.database == database; }),
                  backups.end());
    restored.transactionAtBackup = next;
    restored.transactionAfterOwnWork = 0;
    restored.ownRanges.clear();
    restored.sharedRanges.clear();
    backups.push_back(restored);
    return write(backups);
}

QString BackupRecord::renumber(const QString& database, const QString& file, qint64 next) const
{
    std::vector<RecordedBackup> backups = all();
    const auto chosen = std::find_if(backups.begin(), backups.end(), [&](const RecordedBackup& backup) {
        return backup.database == database && backup.file == file;
    });
    if (chosen == backups.end())
        return QStringLiteral("%1: zaloha %2 v nem neni").arg(filePath_, file);
    std::vector<RecordedBackup> kept;
    for (auto at = backups.begin(); at != backups.end(); ++at) {
        if (at->database != database) {
            kept.push_back(*at);
            continue;
        }
        if (at < chosen)
            continue;
        RecordedBackup renumbered = *at;
        renumbered.transactionAtBackup = 0;
        renumbered.ownRanges = {{0, next}};
        renumbered.sharedRanges.clear();
        renumbered.transactionAfterOwnWork = next;
        kept.push_back(renumbered);
    }
    return write(kept);
}

QString BackupRecord::noteOwnWork(const QString& database, qint64 first, qint64 next, bool shared) const
{
    std::vector<RecordedBackup> backups = all();
    const auto newest = std::find_if(backups.rbegin(), backups.rend(),
                                     [&](const RecordedBackup& backup) { return backup.database == database; });
    if (newest == backups.rend())
        return {};
    // What others did between two commands of this program stays theirs.
    TransactionRanges ranges = newest->ownWork();
    if (!ranges.empty() && first <= ranges.back().second)
        ranges.back().second = std::max(ranges.back().second, next);
    else
        ranges.emplace_back(first, next);
    newest->ownRanges = ranges;
    if (shared)
        newest->sharedRanges.emplace_back(first, next);
    newest->transactionAfterOwnWork = std::max(newest->transactionAfterOwnWork, next);
    return write(backups);
}

std::vector<RecordedBackup> BackupRecord::of(const QString& database) const
{
    std::vector<RecordedBackup> backups = all();
    backups.erase(std::remove_if(backups.begin(), backups.end(),
                                 [&](const RecordedBackup& backup) { return backup.database != database; }),
                  backups.end());
    return backups;
}

std::optional<qint64> nextTransaction(UpdateSession& session)
{
    if (!session.isConnected())
        return std::nullopt;
    try {
        return session.Database1.selectFirst("select MON$NEXT_TRANSACTION from MON$DATABASE").integer(0);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

QString attachedFile(UpdateSession& session)
{
    if (!session.isConnected())
        return {};
    try {
        return QString::fromStdString(
            session.Database1.selectFirst("select trim(MON$DATABASE_NAME) from MON$DATABASE").text(0));
    } catch (const std::exception&) {
        return {};
    }
}

void recordBackupMade(UpdateSession& session, RecordedBackup backup)
{
    if (session.onRehearsalCopy())
        return;
    backup.attached = attachedFile(session);
    session.noteBackupRecorded();
    if (const QString failure = BackupRecord(session.programDir()).add(backup); !failure.isEmpty())
        session.log().WriteLog(QStringLiteral("ZALOHA CHYBA   | zalohu nelze zaznamenat pro navrat: ") + failure);
}

void recordOwnWork(UpdateSession& session, qint64 first, bool shared)
{
    if (session.onRehearsalCopy() || !session.isConnected())
        return;
    const std::optional<qint64> next = nextTransaction(session);
    if (!next)
        return;
    if (const QString failure = BackupRecord(session.programDir()).noteOwnWork(session.settings().alias, first, *next, shared);
        !failure.isEmpty())
        session.log().WriteLog(QStringLiteral("               | konec prace programu nelze zaznamenat pro navrat: ") + failure);
}

} // namespace update
