#include "commands/WayBack.h"

#include "db/Connection.h"
#include "db/DatabaseShutdown.h"
#include "db/EngineError.h"
#include "db/ResultSet.h"
#include "db/ServiceBackup.h"
#include "update/PhaseSize.h"
#include "update/RunLog.h"
#include "update/Settings.h"
#include "update/Stop.h"
#include "update/UpdateSession.h"
#include "update/TestHold.h"
#include "update/UpdateView.h"
#include "update/VisibleText.h"
#include "update/safety/BackupHeader.h"
#include "update/safety/BackupFileWriter.h"
#include "update/safety/BackupOrigin.h"
#include "update/safety/BackupStateCopy.h"
#include "update/safety/DatabaseBackup.h"
#include "update/safety/DeletedRows.h"
#include "update/safety/LocalBackupFile.h"
#include "update/safety/OpenedBackup.h"
#include "update/safety/OtherAttachments.h"
#include "update/safety/OthersWork.h"
#include "update/safety/OwnFile.h"
#include "update/safety/RehearsalRestore.h"
#include "update/safety/RestoredCopy.h"
#include "update/safety/ServiceJob.h"
#include "update/safety/ThisMachine.h"
#include "update/safety/UpdateClaim.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <future>
#include <memory>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace update {

namespace {

const QString kPrefix = QStringLiteral("NAVRAT").leftJustified(15) + QStringLiteral("| ");
const QString kRefusedPrefix = QStringLiteral("NAVRAT ODMITNUT").leftJustified(15) + QStringLiteral("| ");
const QString kFailedPrefix = QStringLiteral("NAVRAT CHYBA").leftJustified(15) + QStringLiteral("| ");

// The transactions that shutting a database down through the services manager starts on it: its
// one, as measured on the engine. Fewer counted would refuse every way back, never let work through.
constexpr std::uint64_t kShutdownTransactions = 1;
// How long a database shut down for the way back is tried to be brought online again.
constexpr std::chrono::milliseconds kOnlineTries{10000};

// A look for others' work: where the database's transactions stood as it began, and the
// transactions its connection had started when it ended.
struct Look {
    TransactionsLookedAt at;
    std::uint64_t readerStarted = 0;

    std::uint64_t ownAfterMark() const { return readerStarted - at.readerStarted; }
};

// A refusal: nothing has been changed.
struct Refused {
    QString why;
};

// Nobody has written into the database since the backup: it holds what the backup holds.
struct AlreadyInPlace {
    QString database;
    QString backup;
};

// "/data/hotel.fdb" with "-po-aktualizaci-20120101-0830" -> "/data/hotel-po-aktualizaci-20120101-0830.fdb".
QString besides(const QString& database, const QString& insert)
{
    const QFileInfo info(database);
    const QString suffix = info.completeSuffix();
    const QString base = info.absolutePath() + QLatin1Char('/') + info.baseName();
    return suffix.isEmpty() ? base + insert : base + insert + QLatin1Char('.') + suffix;
}

// A name beside the file that nothing has: with the time, and a counter when that is taken.
QString freeNameBeside(const QString& file, const QString& insert,
                       const std::function<bool(const QString&)>& exists = nameTakenHere)
{
    const QString stamped = insert + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = besides(file, stamped);
    for (int counter = 2; exists(name); ++counter) {
        if (counter > 99)
            throw Refused{QStringLiteral("nazvy %1 jsou obsazene").arg(name)};
        name = besides(file, stamped + QStringLiteral("-%1").arg(counter));
    }
    return name;
}

class WayBack {
public:
    WayBack(UpdateSession& session, UpdateView& view, QString file,
            const std::function<bool(const WayBackPlan&)>& confirm, bool acceptUnseenDeletions)
        : session_(session), view_(view), file_(std::move(file)), confirm_(confirm),
          acceptUnseenDeletions_(acceptUnseenDeletions)
    {
    }

    WayBackEnd run()
    {
        try {
            WayBackPlan plan;
            try {
                plan = prepare();
            } catch (const db::EngineError& error) {
                throw Refused{QStringLiteral("databaze neodpovida: ") + visibleText(QString::fromStdString(error.what()))};
            }
            return putBack(plan);
        } catch (const AlreadyInPlace& same) {
            log(kPrefix + QStringLiteral("Databaze %1 uz obsahuje zalohu %2: od zalohy do ni nikdo nezapsal, neni co "
                                         "vracet a zadna kopie se nedela")
                              .arg(same.database, same.backup));
            return WayBackEnd::AlreadyInPlace;
        } catch (const Refused& refused) {
            session_.noteCommandRefused();
            log(kRefusedPrefix + refused.why + QStringLiteral("; databaze se nezmenila"));
            view_.showRefusal({QString::fromUtf8("Návrat nebyl proveden, databáze se nezměnila: ") + refused.why,
                               QStringLiteral("the way back was refused, nothing was changed: ") + refused.why});
            return WayBackEnd::Refused;
        }
    }

private:
    void log(const QString& text) const { session_.log().WriteLog(text); }

    WayBackPlan prepare()
    {
        const ConnectionSettings settings = session_.settings();
        WayBackPlan plan;
        plan.database = QString::fromStdString(
            session_.Database1.selectFirst("select trim(MON$DATABASE_NAME) from MON$DATABASE").text(0));
        const db::ServiceTarget target = db::serviceTargetOf(settings.alias.toStdString());
        throughServer_ = !target.host.empty();
        // This program exchanges the files where it may rename them: its engine's own, or a
        // server's on this machine in a folder this user may change. Elsewhere the server
        // restores the backup over the database.
        const bool onThisMachine = !throughServer_ || isThisMachine(target);
        // The restored copy must also get the database's owner: only that user, or root, may give it.
        const QFileInfo databaseFile(plan.database);
        filesHere_ = !throughServer_
            || (onThisMachine && databaseFile.isFile()
                && ::access(QFile::encodeName(databaseFile.absolutePath()).constData(), W_OK | X_OK) == 0
                && (::geteuid() == 0 || databaseFile.ownerId() == ::geteuid()));
        plan.keptAsBackup = !filesHere_;
        const std::optional<OtherAttachments> others = readOtherAttachments(session_.Database1);
        if (!others || others->onlyOwnVisible)
            throw Refused{QStringLiteral("nelze zjistit, kdo dalsi je k databazi pripojen (uzivatel %1 nevidi cizi "
                                         "pripojeni)")
                              .arg(settings.user)};
        if (!others->attachments.isEmpty())
            throw Refused{QStringLiteral("k databazi je pripojen jiny program: ") + others->attachments.join(QStringLiteral("; "))};

        const std::vector<RecordedBackup> backups = BackupRecord(session_.programDir()).of(settings.alias);
        std::size_t chosen = backups.size();
        if (file_.isEmpty()) {
            if (backups.empty())
                throw Refused{QStringLiteral("program nema zaznamenanou zadnou zalohu teto databaze")};
            // The state before the program's work: the newest backup made before any of it. A
            // backup made after (a run again after a failure, a rehearsal after the night) holds
            // what the program had already changed.
            chosen = 0;
            while (chosen + 1 < backups.size() && backups[chosen].ownWork().empty())
                ++chosen;
        } else {
            const QString wanted = QFileInfo(file_).canonicalFilePath();
            for (std::size_t at = backups.size(); at-- > 0;)
                if (!wanted.isEmpty() && QFileInfo(backups[at].file).canonicalFilePath() == wanted) {
                    chosen = at;
                    break;
                }
            if (chosen == backups.size())
                throw Refused{QStringLiteral("soubor %1 neni zaloha, kterou tento program udelal z teto databaze").arg(file_)};
        }
        plan.backup = backups[chosen];
        // A backup is put back only as the file this program hashed: one this machine cannot
        // read (a server's own file, recorded by an earlier version) could be any database's
        // backup put under the name.
        if (::access(QFile::encodeName(plan.backup.file).constData(), R_OK) != 0) {
            if (errno == ENOENT)
                throw Refused{QStringLiteral("zaloha %1 chybi").arg(plan.backup.file)};
            throw Refused{QStringLiteral("zalohu %1 tento pocitac nemuze precist (%2), takze nelze overit jeji velikost, "
                                         "hlavicku ani SHA-256; neoverena zaloha se nevraci")
                              .arg(plan.backup.file, QString::fromLocal8Bit(std::strerror(errno)))};
        }
        // The backup's folders as the night had them: whoever else may change them could put
        // another file under the backup's name.
        if (const QString unsafe = localBackupRefusal(plan.backup.file); !unsafe.isEmpty())
            throw Refused{unsafe};
        if (!QFileInfo(plan.backup.file).isFile())
            throw Refused{QStringLiteral("zaloha %1 chybi").arg(plan.backup.file)};
        // Everything read of the backup from here on, the restore included, comes from this one opening.
        try {
            opened_ = std::make_shared<OpenedBackup>(plan.backup.file);
        } catch (const std::exception& error) {
            throw Refused{QString::fromLocal8Bit(error.what())};
        }
        if (opened_->size() != plan.backup.bytes)
            throw Refused{QStringLiteral("zaloha %1 ma %2 B, zaznamenano %3 B").arg(plan.backup.file).arg(opened_->size()).arg(plan.backup.bytes)};
        if (plan.backup.sha256.isEmpty())
            throw Refused{QStringLiteral("u zalohy %1 neni zaznamenan jeji SHA-256").arg(plan.backup.file)};
        const std::optional<QString> named = opened_->database();
        if (!named || !isBackupOf(*named, plan.backup, plan.database))
            throw Refused{QStringLiteral("zaloha %1 je zalohou databaze %2, ne %3")
                              .arg(plan.backup.file, named ? backedUpDatabaseText(*named, plan.backup) : QStringLiteral("?"),
                                   plan.database)};

        // Everything this program did since that backup is its own to undo.
        qint64 highestRecorded = 0;
        for (std::size_t at = chosen; at < backups.size(); ++at) {
            highestRecorded = std::max(highestRecorded, backups[at].transactionAtBackup);
            for (const auto& range : backups[at].ownWork()) {
                own_.push_back(range);
                highestRecorded = std::max(highestRecorded, range.second);
            }
        }
        // Work of someone else's during a command of this program cannot be told from its own.
        for (std::size_t at = chosen; at < backups.size(); ++at)
            if (!backups[at].sharedRanges.empty())
                throw Refused{QStringLiteral("behem prace tohoto programu od zalohy (transakce %1 az %2) zacal v databazi "
                                             "transakce i nekdo jiny; co v nich zapsal, nelze odlisit od prace programu a "
                                             "navrat by to ztratil")
                                  .arg(backups[at].sharedRanges.front().first)
                                  .arg(backups[at].sharedRanges.front().second - 1)};
        // A database restored from a backup since counts its transactions anew: what anyone wrote
        // in it can no longer be told from the numbers recorded.
        if (const qint64 next =
                session_.Database1.selectFirst("select MON$NEXT_TRANSACTION from MON$DATABASE").integer(0);
            next < highestRecorded)
            throw Refused{QStringLiteral("databaze %1 byla od zalohy obnovena nebo nahrazena (jeji pristi transakce %2 je "
                                         "pred zaznamenanou %3), takze nelze poznat, kdo do ni od zalohy zapsal; navrat by "
                                         "mohl ztratit cizi praci")
                              .arg(plan.database)
                              .arg(next)
                              .arg(highestRecorded)};
        // This program has not changed the database since (a way back made just before, or a night
        // that changed nothing): when nobody else has either, there is nothing to put back.
        if (std::all_of(backups.begin() + static_cast<std::ptrdiff_t>(chosen), backups.end(),
                        [](const RecordedBackup& backup) { return backup.transactionAfterOwnWork == 0; })) {
            if (const QString written = othersWrote(plan); !written.isEmpty())
                throw Refused{written};
            throw AlreadyInPlace{plan.database, plan.backup.file};
        }
        try {
            // Where the server restores over the database, today's state comes to this machine
            // beside the night's backup, written by this program as the night's backup was.
            plan.kept = freeNameBeside(filesHere_ ? plan.database : plan.backup.file, QStringLiteral("-po-aktualizaci-"));
        } catch (const Refused&) {
            throw;
        } catch (const std::exception& error) {
            throw Refused{QStringLiteral("nelze najit volny nazev zalohy dnesniho stavu: ")
                          + visibleText(QString::fromLocal8Bit(error.what()))};
        }
        log(kPrefix + plan.text());
        if (!confirm_(plan))
            throw Refused{QStringLiteral("operator navrat nepotvrdil")};
        return plan;
    }

    WayBackEnd putBack(const WayBackPlan& plan)
    {
        if (!filesHere_)
            return restoreOver(plan);
        QString restored;
        try {
            restored = freeNameBeside(plan.database, QStringLiteral("-navrat-"));
        } catch (const Refused& taken) {
            return failed(taken.why, QString());
        }
        log(kPrefix + QStringLiteral("Obnova zalohy do ") + restored);
        // The names change only once the restore and the look beside it have both passed.
        Look beside;
        QString failure;
        const QString refusal = restoreBesideTheLook(
            plan,
            [&](const BackupPieces& backup, qint64 todaysBytes) {
                failure = restoreCopy(session_, view_, backup, restored, todaysBytes,
                                      [this](const QString& line) { view_.showRestoreProgress(line); });
                view_.showRestoreProgress(QString());
            },
            beside);
        // From here on the session's own transactions on the database are this program's beside the looks'.
        const std::uint64_t sessionAfterLook = session_.ownTransactions();
        if (!failure.isEmpty() || !refusal.isEmpty())
            removeFailedCopy(session_.settings(), restored);
        if (!refusal.isEmpty())
            throw Refused{refusal};
        if (!failure.isEmpty())
            return failed(QStringLiteral("obnova zalohy se nezdarila: ") + failure, QString());
        // From here on the copy is held open: its owner, mode and names are changed through what was opened.
        std::optional<RestoredCopy> copy;
        try {
            copy.emplace(plan.database, restored);
        } catch (const std::exception& error) {
            log(kFailedPrefix + QStringLiteral("obnovena kopie %1 zustava, jak je").arg(restored));
            return failed(QString::fromLocal8Bit(error.what()), QString());
        }
        holdForTest("mode");
        if (const QString unusable = copy->takeOverOwnerAndMode(); !unusable.isEmpty())
            return failedWithCopy(unusable, *copy, restored);
        QString unusable;
        const std::optional<qint64> restoredNext = opens(restored, unusable);
        if (!restoredNext)
            return failedWithCopy(QStringLiteral("obnovenou databazi nelze otevrit: ") + unusable, *copy, restored);

        // From here on the names change: a stop waits for both, so the log can say where each is.
        const UpdateSession::StopsHeld held(session_);
        if (throughServer_) {
            // A server lets others attach beside this program: one that came while the backup
            // was restored may have work of its own by now; none may work in the database while
            // its files change under them.
            if (const QString came = othersCameMeanwhile(); !came.isEmpty()) {
                copy->removeIfStillUnderItsName();
                throw Refused{came};
            }
            holdForTest("shutdown");
            // A login may have committed and left since the look beside the restore: with the
            // database shut down to this program's one attachment, nobody's work can come after
            // the look taken now.
            if (const QString open = shutDownForOthers(plan.database, db::Shutdown::Single); !open.isEmpty())
                return failedWithCopy(open, *copy, restored);
            if (const QString written = othersWrote(plan, nullptr, &beside, session_.ownTransactions() - sessionAfterLook);
                !written.isEmpty()) {
                bringOnline(plan.database);
                copy->removeIfStillUnderItsName();
                throw Refused{written};
            }
            if (const QString deleted = othersDeleted(restored); !deleted.isEmpty()) {
                bringOnline(plan.database);
                copy->removeIfStillUnderItsName();
                throw Refused{deleted};
            }
            if (const QString open = shutDownForOthers(plan.database, db::Shutdown::Full); !open.isEmpty()) {
                bringOnline(plan.database);
                return failedWithCopy(open, *copy, restored);
            }
        } else if (const QString deleted = othersDeleted(restored); !deleted.isEmpty()) {
            copy->removeIfStillUnderItsName();
            throw Refused{deleted};
        }
        if (const QString notExchanged = copy->exchange(); !notExchanged.isEmpty()) {
            if (throughServer_)
                bringOnline(plan.database);
            return failedWithCopy(notExchanged, *copy, restored);
        }
        log(kPrefix + QStringLiteral("Databaze %1 je obnovena ze zalohy %2").arg(plan.database, plan.backup.file));
        QString kept = plan.kept;
        if (const QString notRenamed = copy->rename(plan.kept); !notRenamed.isEmpty()) {
            log(kFailedPrefix + notRenamed);
            kept = restored;
        }
        // The state kept beside opens as any database does.
        if (throughServer_)
            bringOnline(kept);
        log(kPrefix + QStringLiteral("Stav po aktualizaci je zachovan jako ") + kept);
        restartRecord(plan, *restoredNext);
        session_.Database1.close();
        return WayBackEnd::Restored;
    }

    // Why the database must not be shut down: a program that attached while the way back was
    // under way. Empty when none.
    QString othersCameMeanwhile()
    {
        const std::optional<OtherAttachments> others = readOtherAttachments(session_.Database1);
        if (others && others->attachments.isEmpty())
            return {};
        return QStringLiteral("k databazi se mezitim pripojil jiny program: ")
            + (others ? others->attachments.join(QStringLiteral("; ")) : QStringLiteral("?"));
    }

    // Restores the backup beside the database (`restore`, given the opening's pieces and the size
    // the copy grows back to, about today's) while the look for others' work since the backup, a
    // read of the whole database, runs beside it; `beside` gets where that look began. The
    // refusal the look or the backup's SHA-256 gives, empty when neither: a backup that is not
    // the file written explains a restore that failed on it too. A stop ends it once the look has.
    QString restoreBesideTheLook(const WayBackPlan& plan, const std::function<void(const BackupPieces&, qint64)>& restore,
                                 Look& beside)
    {
        const qint64 todaysBytes = databaseBytes(session_.Database1);
        std::future<QString> checked =
            std::async(std::launch::async, [this, plan, &beside] { return othersWrote(plan, &beside); });
        try {
            restore([backup = opened_](std::size_t wanted) { return backup->read(wanted); }, todaysBytes);
        } catch (const Interrupted&) {
            checked.wait();
            log(kFailedPrefix + QStringLiteral("preruseno pri obnove; databaze %1 zustava beze zmeny").arg(plan.database));
            throw;
        }
        const QString refusal = checked.get();
        return opened_->sha256() != plan.backup.sha256 ? notTheFileWritten(plan) : refusal;
    }

    // Through a server whose files this program cannot rename: the backup is restored beside the
    // database for the comparison of rows, the database is shut down and checked once more,
    // today's state comes to this machine beside the night's backup, and the server restores the
    // night's backup over the database; when that fails, the state kept goes back the same way.
    // The database is without a whole state under its name only while it is shut down.
    WayBackEnd restoreOver(const WayBackPlan& plan)
    {
        // Why the backup's state could not be restored beside the database for the comparison.
        QString noCopy;
        std::optional<BackupStateCopy> backupState;
        try {
            backupState.emplace(session_, freeNameBeside(plan.database, QStringLiteral("-navrat-"), serversNames()));
        } catch (const Refused& taken) {
            noCopy = taken.why;
        } catch (const std::exception& error) {
            noCopy = visibleText(QString::fromLocal8Bit(error.what()));
        }
        Look beside;
        const QString refusal = restoreBesideTheLook(
            plan,
            [&](const BackupPieces& backup, qint64 todaysBytes) {
                if (!backupState)
                    return;
                log(kPrefix + QStringLiteral("Obnova zalohy do ") + backupState->path());
                if (const QString failure = backupState->restore(
                        view_, backup, todaysBytes, [this](const QString& line) { view_.showRestoreProgress(line); });
                    !failure.isEmpty()) {
                    noCopy = QStringLiteral("obnova zalohy se nezdarila: ") + failure;
                    backupState.reset();
                }
                view_.showRestoreProgress(QString());
            },
            beside);
        const std::uint64_t sessionAfterLook = session_.ownTransactions();
        if (!refusal.isEmpty())
            throw Refused{refusal};
        if (!noCopy.isEmpty()) {
            if (!acceptUnseenDeletions_)
                throw Refused{QStringLiteral("stav zalohy nelze obnovit vedle databaze (%1), takze nelze zjistit, zda od "
                                             "zalohy nekdo smazal radky; navrat je mozny jen s --accept-unseen-deletions")
                                  .arg(noCopy)};
            log(kPrefix + QStringLiteral("Smazane radky nelze zjistit, stav zalohy nelze obnovit vedle databaze (%1); "
                                         "operator to prijal (--accept-unseen-deletions)")
                              .arg(noCopy));
        }

        // From the shutdown on, a stop waits until the name holds a whole database again.
        const UpdateSession::StopsHeld held(session_);
        if (const QString came = othersCameMeanwhile(); !came.isEmpty())
            throw Refused{came};
        holdForTest("shutdown");
        // Single: the server's gbak alone may attach, to back up and to replace. A login may have
        // committed and left since the look beside the restore: with the database shut down,
        // nobody's work can come after the checks made now.
        if (const QString open = shutDownForOthers(plan.database, db::Shutdown::Single); !open.isEmpty())
            return failed(open, QString());
        if (const QString written = othersWrote(plan, nullptr, &beside, session_.ownTransactions() - sessionAfterLook);
            !written.isEmpty()) {
            bringOnline(plan.database);
            throw Refused{written};
        }
        if (backupState) {
            if (const QString deleted = othersDeleted(backupState->path()); !deleted.isEmpty()) {
                bringOnline(plan.database);
                throw Refused{deleted};
            }
            if (!backupState->drop())
                log(kFailedPrefix + QStringLiteral("kopii stavu zalohy %1 nelze odstranit; odstrani ji pristi zkouska")
                                        .arg(backupState->path()));
            backupState.reset();
        }

        QString keptSha256;
        if (const QString notKept = keepTodaysState(plan, keptSha256); !notKept.isEmpty()) {
            bringOnline(plan.database);
            return failed(QStringLiteral("dnesni stav nelze zalohovat do %1: ").arg(plan.kept) + notKept, QString());
        }
        log(kPrefix + QStringLiteral("Dnesni stav databaze %1 je zalohovan do %2").arg(plan.database, plan.kept));
        holdForTest("restore");
        QString failure = restoreOpenedOnServer(plan);
        std::optional<qint64> restoredNext;
        if (failure.isEmpty() && !(restoredNext = opens(plan.database, failure)))
            failure = QStringLiteral("obnovenou databazi nelze otevrit: ") + failure;
        if (!failure.isEmpty()) {
            log(kFailedPrefix + QStringLiteral("obnova zalohy %1 se nezdarila: ").arg(plan.backup.file) + failure);
            const QString why = QStringLiteral("obnova zalohy se nezdarila: ") + failure;
            QString unopened;
            const QString notBack = restoreKeptOnServer(plan, keptSha256);
            if (const std::optional<qint64> back = notBack.isEmpty() ? opens(plan.database, unopened) : std::nullopt) {
                // Today's state, restored, counts its transactions anew: all of it is as it was
                // found, with nobody else's work in it since the backup.
                if (const QString unrecorded = BackupRecord(session_.programDir())
                                                   .renumber(session_.settings().alias, plan.backup.file, *back);
                    !unrecorded.isEmpty())
                    log(kFailedPrefix + QStringLiteral("zaznam zaloh nelze opravit: ") + unrecorded);
                return failed(why, QString(),
                              QStringLiteral("databaze %1 je vracena do stavu po aktualizaci ze zalohy %2")
                                  .arg(plan.database, plan.kept));
            }
            return failed(why + QStringLiteral("; vraceni stavu po aktualizaci take: ") + (notBack.isEmpty() ? unopened : notBack),
                          QString(),
                          QStringLiteral("databaze %1 neni cela a je uzavrena; jeji stav po aktualizaci je v zaloze %2, "
                                         "stav pred aktualizaci v zaloze %3")
                              .arg(plan.database, plan.kept, plan.backup.file));
        }
        log(kPrefix + QStringLiteral("Databaze %1 je obnovena ze zalohy %2").arg(plan.database, plan.backup.file));
        log(kPrefix + QStringLiteral("Stav po aktualizaci je zachovan v zaloze ") + plan.kept);
        restartRecord(plan, *restoredNext);
        return WayBackEnd::Restored;
    }

    // Whether a name is taken on the session's server, asked of the server.
    std::function<bool(const QString&)> serversNames() const
    {
        return existsWhereTheEngineWrites(session_.settings(), [this] { return session_.stopSignal() != 0; });
    }

    // Backs the shut-down database up over the services manager's output into plan.kept on this
    // machine, a file this program writes itself; `sha256` gets what was written. Why it could
    // not, else empty: nothing is then left under the name.
    QString keepTodaysState(const WayBackPlan& plan, QString& sha256)
    {
        removeUnfinishedBackups(session_.log(), besides(plan.backup.file, QStringLiteral("-po-aktualizaci-")));
        std::shared_ptr<BackupFileWriter> writer;
        try {
            writer = std::make_shared<BackupFileWriter>(plan.kept);
        } catch (const std::exception& error) {
            return QString::fromLocal8Bit(error.what());
        }
        const ConnectionSettings settings = session_.settings();
        const db::ServiceBackup backup(settings.alias.toStdString(), settings.user.toStdString(),
                                       settings.password.toStdString(), settings.connectTimeout);
        const auto written = std::make_shared<QString>();
        // With no stop and no count of transactions asked, gbak's is the backup's only attachment,
        // as the shut-down database allows.
        const QString notKept = runOnServer(
            [backup, writer, written](const auto&, const auto&) {
                const std::uint64_t bytes =
                    backup.stream([&writer](const std::string& piece) { writer->write(piece.data(), piece.size()); });
                writer->finish();
                *written = writer->sha256();
                return std::optional<std::uint64_t>(bytes);
            },
            QStringLiteral("zaloha dnesniho stavu: "), true);
        if (!notKept.isEmpty()) {
            if (writer->named())
                QFile::remove(plan.kept);
            writer->discard();
            return notKept;
        }
        sha256 = *written;
        return {};
    }

    // Restores today's state kept on this machine over the database, handed to the server's
    // restore over its input from one opening; empty when it is whole and what was read is the
    // file written (`sha256`).
    QString restoreKeptOnServer(const WayBackPlan& plan, const QString& sha256)
    {
        std::shared_ptr<OpenedBackup> kept;
        try {
            kept = std::make_shared<OpenedBackup>(plan.kept);
        } catch (const std::exception& error) {
            return QString::fromLocal8Bit(error.what());
        }
        const QString failure = restoreOverFrom(kept, plan.kept, plan.database);
        if (!failure.isEmpty())
            return failure;
        return kept->sha256() == sha256 ? QString()
                                        : QStringLiteral("zaloha %1 neni tim souborem, ktery program zapsal (SHA-256 "
                                                         "nesouhlasi)")
                                              .arg(plan.kept);
    }

    // Shuts the database down through its server, this program's own connection closed first;
    // why it could not, else empty.
    QString shutDownForOthers(const QString& database, db::Shutdown mode)
    {
        const ConnectionSettings settings = session_.settings();
        session_.Database1.close();
        try {
            db::shutDownDatabase(settings.alias.toStdString(), settings.user.toStdString(),
                                 settings.password.toStdString(), settings.connectTimeout, mode);
        } catch (const std::exception& error) {
            return QStringLiteral("databazi nelze uzavrit pro ostatni: ") + visibleText(QString::fromLocal8Bit(error.what()));
        }
        log(kPrefix + QStringLiteral("Databaze %1 je uzavrena pro ostatni").arg(database));
        return {};
    }

    // Restores the backup of that opening over the database through its server, handed over its
    // input from where the opening stands; empty when the restore is whole.
    QString restoreOverFrom(const std::shared_ptr<OpenedBackup>& backup, const QString& backupFile, const QString& database)
    {
        const ConnectionSettings settings = session_.settings();
        const db::ServiceRestore service(settings.alias.toStdString(), settings.user.toStdString(),
                                         settings.password.toStdString(), settings.connectTimeout);
        log(kPrefix + QStringLiteral("Obnova zalohy %1 do %2").arg(backupFile, database));
        return runOnServer(
            [service, backup, to = database.toStdString()](const auto& lines, const auto&) {
                service.runOverFromStream(to, [backup](std::size_t wanted) { return backup->read(wanted); }, lines);
                return std::optional<std::uint64_t>();
            },
            QStringLiteral("obnova: "), false);
    }

    // Restores the night's backup over the database from the opening that was hashed, read once
    // more from its start; empty when it is whole and what was read is still the file written.
    QString restoreOpenedOnServer(const WayBackPlan& plan)
    {
        if (!opened_->rewind())
            return QStringLiteral("zalohu %1 nelze cist znovu od zacatku").arg(plan.backup.file);
        if (const QString failure = restoreOverFrom(opened_, plan.backup.file, plan.database); !failure.isEmpty())
            return failure;
        return opened_->sha256() == plan.backup.sha256 ? QString() : notTheFileWritten(plan);
    }

    // Runs a service to its end while the window stays alive; why it failed, else empty. A
    // backup is good only when the service reported writing more than nothing.
    QString runOnServer(ServiceJob job, const QString& label, bool writes)
    {
        const ServiceOutcome outcome = runKeepingWindowAlive(
            std::move(job), QString(), [this, label](const QString& line) { view_.showRestoreProgress(label + line); },
            view_, session_);
        view_.showRestoreProgress(QString());
        if (outcome.stopped)
            return QStringLiteral("sluzba byla prerusena");
        if (outcome.failure)
            return failureText(outcome.failure);
        if (writes && outcome.written.value_or(0) == 0)
            return QStringLiteral("sluzba nehlasila zapsana data");
        return {};
    }

    // The database now counts its transactions from the restore's: the marks of the backups
    // made before belong to the state kept beside.
    void restartRecord(const WayBackPlan& plan, qint64 restoredNext) const
    {
        if (const QString unrecorded = BackupRecord(session_.programDir())
                                           .restart(session_.settings().alias, plan.backup, restoredNext);
            !unrecorded.isEmpty())
            log(kFailedPrefix + QStringLiteral("zaznam zaloh nelze opravit: ") + unrecorded);
    }

    static QString notTheFileWritten(const WayBackPlan& plan)
    {
        return QStringLiteral("zaloha %1 neni tim souborem, ktery program zapsal (SHA-256 nesouhlasi)").arg(plan.backup.file);
    }

    // Why the way back must not go on because others wrote into the database since the backup;
    // empty when nobody did. `looked`, if given, gets where the database's transactions stood as
    // the look began. After `since`, an earlier look, every transaction must be this program's
    // (`ownMeanwhile` of them on its other connections): a deletion leaves nothing a look could find.
    QString othersWrote(const WayBackPlan& plan, Look* looked = nullptr, const Look* since = nullptr,
                        std::uint64_t ownMeanwhile = 0) const
    {
        try {
            db::Connection reader;
            reader.setDatabase(session_.Database1.database());
            reader.setUser(session_.Database1.user());
            reader.setPassword(session_.Database1.password());
            // Once the database is shut down, a stop waits for the look like for everything else.
            reader.setInterruption([this] { return !session_.stopsHeld() && session_.stopSignal() != 0; });
            // Clearing the update's old record versions is no part of reading them: the database
            // they are in is the one kept beside.
            reader.setGarbageCollection(false);
            reader.open();
            const TransactionsLookedAt at = transactionsLookedAt(reader);
            // What a look names is told first; the count then finds what no look can.
            const OthersWork written = othersWorkSince(reader, plan.backup.transactionAtBackup, own_);
            if (looked)
                *looked = {at, reader.transactionsStarted()};
            if (since && !written.found()) {
                const std::uint64_t own = since->ownAfterMark() + ownMeanwhile + at.readerStarted + kShutdownTransactions;
                if (const qint64 others = othersTransactionsSince(since->at, at.next, own); others > 0)
                    return QStringLiteral("od posledniho hledani cizi prace zacal v databazi nekdo jiny nez tento program "
                                          "%1 transakci (transakce %2 az %3, programu z nich %4); co v nich zapsal nebo "
                                          "smazal, by se ztratilo")
                        .arg(others)
                        .arg(since->at.from)
                        .arg(at.next - 1)
                        .arg(own);
            }
            reader.close();
            if (!written.found())
                return {};
            return QStringLiteral("od zalohy zapsal do databaze i nekdo jiny nez tento program, jeho prace by se "
                                  "ztratila: ")
                + written.text()
                + (written.who.isEmpty() ? QStringLiteral(" (jeho pripojeni uz skoncilo)")
                                         : QStringLiteral(" (") + written.who.join(QStringLiteral(", ")) + QLatin1Char(')'));
        } catch (const std::exception& error) {
            return QStringLiteral("nelze zjistit, kdo od zalohy zapisoval do databaze: ")
                + visibleText(QString::fromLocal8Bit(error.what()));
        }
    }

    // Why the way back must not go on because someone else deleted rows since the backup (the
    // restored copy holds the backup's state), or because that could not be told and the operator
    // did not accept the risk; empty when neither.
    QString othersDeleted(const QString& restored) const
    {
        try {
            db::Connection backupState;
            backupState.setDatabase(copySettings(session_.settings(), restored).alias.toStdString());
            backupState.setUser(session_.settings().user.toStdString());
            backupState.setPassword(session_.settings().password.toStdString());
            backupState.setGarbageCollection(false);
            db::Connection today;
            today.setDatabase(session_.Database1.database());
            today.setUser(session_.Database1.user());
            today.setPassword(session_.Database1.password());
            today.setGarbageCollection(false);
            const DeletedRows deleted = deletedSinceBackup(backupState, today);
            backupState.close();
            today.close();
            if (!deleted.tables.empty())
                return QStringLiteral("od zalohy smazal v databazi radky i nekdo jiny nez tento program, navrat by je "
                                      "vratil: ")
                    + deleted.text();
            if (deleted.unseen.isEmpty())
                return {};
            const QString unseen = visibleText(deleted.unseen.join(QStringLiteral("; ")));
            if (!acceptUnseenDeletions_)
                return QStringLiteral("nelze zjistit, zda od zalohy nekdo smazal radky tabulek %1; navrat je mozny jen s "
                                      "--accept-unseen-deletions")
                    .arg(unseen);
            log(kPrefix + QStringLiteral("Smazane radky tabulek %1 nelze zjistit; operator to prijal "
                                         "(--accept-unseen-deletions)")
                              .arg(unseen));
            return {};
        } catch (const std::exception& error) {
            const QString why = visibleText(QString::fromLocal8Bit(error.what()));
            if (!acceptUnseenDeletions_)
                return QStringLiteral("nelze zjistit, zda od zalohy nekdo smazal radky (%1); navrat je mozny jen s "
                                      "--accept-unseen-deletions")
                    .arg(why);
            log(kPrefix + QStringLiteral("Smazane radky nelze zjistit (%1); operator to prijal (--accept-unseen-deletions)")
                              .arg(why));
            return {};
        }
    }

    // Brings the database of that file online through its server; a refusal is logged.
    // Tried again for a while: a login of the administrator's may hold the one attachment a shut
    // down database allows for a moment. One that stays shut down is said on every way out.
    void bringOnline(const QString& file) const
    {
        const ConnectionSettings settings = copySettings(session_.settings(), file);
        QString why;
        for (QDeadlineTimer limit(kOnlineTries); !limit.hasExpired(); QThread::msleep(200)) {
            try {
                db::bringDatabaseOnline(settings.alias.toStdString(), settings.user.toStdString(),
                                        settings.password.toStdString(), settings.connectTimeout);
                return;
            } catch (const std::exception& error) {
                why = visibleText(QString::fromLocal8Bit(error.what()));
            }
        }
        const QString text = QStringLiteral("databazi %1 nelze otevrit pro ostatni (gfix -online), zustava uzavrena: ").arg(file) + why;
        log(kFailedPrefix + text);
        view_.showCommandError(text);
    }

    // The restored database's next transaction, once it has opened and answered; else why not.
    std::optional<qint64> opens(const QString& restored, QString& why) const
    {
        try {
            db::Connection copy;
            copy.setDatabase(copySettings(session_.settings(), restored).alias.toStdString());
            copy.setUser(session_.settings().user.toStdString());
            copy.setPassword(session_.settings().password.toStdString());
            copy.open();
            copy.selectFirst("select count(*) from RDB$RELATIONS");
            const qint64 next = copy.selectFirst("select MON$NEXT_TRANSACTION from MON$DATABASE").integer(0);
            copy.close();
            return next;
        } catch (const db::EngineError& error) {
            why = visibleText(QString::fromStdString(error.what()));
        } catch (const std::exception& error) {
            why = visibleText(QString::fromLocal8Bit(error.what()));
        }
        return std::nullopt;
    }

    // `state`: where the database is now, when it is not unchanged.
    WayBackEnd failed(const QString& why, const QString& restored, const QString& state = QString())
    {
        if (!restored.isEmpty() && !removeFailedCopy(session_.settings(), restored))
            log(kFailedPrefix + QStringLiteral("obnovenou kopii %1 nelze odstranit").arg(restored));
        log(kFailedPrefix + why + QStringLiteral("; ") + (state.isEmpty() ? QStringLiteral("databaze zustava beze zmeny") : state));
        view_.showCommandError(state.isEmpty() ? QString::fromUtf8("Návrat se nezdařil, databáze zůstává beze změny: ") + why
                                               : QString::fromUtf8("Návrat se nezdařil: ") + why + QStringLiteral("; ") + state);
        return WayBackEnd::Failed;
    }

    // A failure once the copy is held open: the copy goes only while its name still leads to it.
    WayBackEnd failedWithCopy(const QString& why, const RestoredCopy& copy, const QString& restored)
    {
        if (!copy.removeIfStillUnderItsName())
            log(kFailedPrefix + QStringLiteral("obnovenou kopii %1 nelze odstranit, jeji nazev uz k ni nevede nebo ji system "
                                               "neodstrani").arg(restored));
        return failed(why, QString());
    }

    UpdateSession& session_;
    UpdateView& view_;
    const QString file_;
    const std::function<bool(const WayBackPlan&)>& confirm_;
    const bool acceptUnseenDeletions_;
    bool throughServer_ = false;
    bool filesHere_ = true;
    // The backup as this program opened it, when it is read here.
    std::shared_ptr<OpenedBackup> opened_;
    // The transactions of this program's own work since the chosen backup: [first, end).
    TransactionRanges own_;
};

} // namespace

QString WayBackPlan::text() const
{
    if (keptAsBackup)
        return QStringLiteral("Server obnovi databazi %1 ze zalohy %2 z %3 (%4); jeji dnesni stav nejdriv zalohuje na tento "
                              "pocitac do %5")
            .arg(database, backup.file, backup.made.toLocalTime().toString(QStringLiteral("d.M.yyyy H:mm:ss")),
                 backup.proved ? QStringLiteral("overena obnovou") : QStringLiteral("neoverena obnovou"), kept);
    return QStringLiteral("Databaze %1 bude nahrazena zalohou %2 z %3 (%4); jeji dnesni stav zustane jako %5")
        .arg(database, backup.file, backup.made.toLocalTime().toString(QStringLiteral("d.M.yyyy H:mm:ss")),
             backup.proved ? QStringLiteral("overena obnovou") : QStringLiteral("neoverena obnovou"), kept);
}

WayBackEnd RestoreDatabase(UpdateSession& session, UpdateView& view, const QString& file,
                           const std::function<bool(const WayBackPlan&)>& confirm, bool acceptUnseenDeletions)
{
    WayBackEnd end = WayBackEnd::Refused;
    RunClaimed(session, view, [&] {
        end = WayBack(session, view, file, confirm, acceptUnseenDeletions).run();
        return end == WayBackEnd::Restored || end == WayBackEnd::AlreadyInPlace;
    });
    return end;
}

int exitStatusOf(WayBackEnd end)
{
    switch (end) {
    case WayBackEnd::Restored:
    case WayBackEnd::AlreadyInPlace:
        return 0;
    case WayBackEnd::Failed:
        return 2;
    case WayBackEnd::Refused:
        break;
    }
    return 3;
}

} // namespace update
