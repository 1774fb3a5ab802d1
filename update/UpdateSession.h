#pragma once

#include "db/Connection.h"
#include "db/Query.h"
#include "update/NightProtocol.h"
#include "update/PhaseClock.h"
#include "update/RunLog.h"
#include "update/ServerScripts.h"
#include "update/Settings.h"
#include "update/StatementRunner.h"
#include "update/Stop.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

namespace update {

class UpdateView;

// The non-visual parts that the main window owns for the whole run: the five server-side texts,
// the connection, the two statement objects, the run log and the statement runner over Q.
class UpdateSession {
public:
    // The texts are read here, once: a missing or empty one throws MissingServerScript before
    // anything can be sent.
    explicit UpdateSession(const QString& programDir, RunLog::Clock clock = &RunLog::systemClock,
                           const QString& scriptDirectory = kBuiltInScripts);
    // A session with texts already read, logging into the named file of programDir (a rehearsal).
    UpdateSession(const QString& programDir, const QString& logFileName, QList<ServerScript> serverScripts);
    UpdateSession(const UpdateSession&) = delete;
    UpdateSession& operator=(const UpdateSession&) = delete;

    void applySettings(const ConnectionSettings& settings);
    // The connection settings and the backup file, as read from DPH.ini.
    void apply(const Settings& settings);
    ConnectionSettings settings() const;

    // Where the session learns that the program was asked to stop; by default it never is.
    void setStopProbe(StopProbe probe) { stop_ = std::move(probe); }
    // The signal that asked the program to stop; 0 while none has.
    int stopSignal() const { return stop_ ? stop_() : 0; }
    bool stopsHeld() const { return stopsHeld_ > 0; }
    // Throws Interrupted once a stop signal has arrived, unless stops are held.
    void throwIfStopRequested() const;
    // While the returned guard lives, a stop signal waits: work that must not be left half done
    // (one stay group's split, posting and closing) runs to its end first.
    class StopsHeld {
    public:
        explicit StopsHeld(UpdateSession& session) : session_(session) { ++session_.stopsHeld_; }
        ~StopsHeld() { --session_.stopsHeld_; }
        StopsHeld(const StopsHeld&) = delete;
        StopsHeld& operator=(const StopsHeld&) = delete;

    private:
        UpdateSession& session_;
    };

    // Opens the connection; false on any failure, whatever its kind. Nothing is logged.
    bool connect();
    bool isConnected() const { return Database1.isOpen(); }

    QString programDir() const { return programDir_; }
    // A rehearsal's session on a copy: what it does is not noted for the database itself.
    bool onRehearsalCopy() const { return onRehearsalCopy_; }
    const RunLog& log() const { return log_; }
    RunLog& log() { return log_; }
    StatementRunner& runner() { return runner_; }
    // What the command that runs now does to the hotel's data, for the night's protocol.
    NightProtocol& protocol() { return protocol_; }
    const NightProtocol& protocol() const { return protocol_; }
    // The program's own runs write the night's protocol after each command; a test's need not.
    void setWritesProtocols(bool writes) { writesProtocols_ = writes; }
    bool writesProtocols() const { return writesProtocols_; }
    // Lays the protocol out as PDF from its document's JSON; empty with `why` set when it cannot.
    // The layout needs the fonts of the graphics libraries, which the unattended update does not
    // load: the program gives it to a process of its own. Without one, the protocol is text alone.
    using PdfMaker = std::function<QByteArray(const QByteArray& documentJson, QString& why)>;
    void setPdfMaker(PdfMaker maker) { pdfMaker_ = std::move(maker); }
    const PdfMaker& pdfMaker() const { return pdfMaker_; }
    // Given the document without the check after the run, the layout measures it while the
    // check reads the database; the maker then lays out the whole document. Optional.
    using PdfDraft = std::function<void(const QByteArray& draftJson)>;
    void setPdfDraft(PdfDraft draft) { pdfDraft_ = std::move(draft); }
    const PdfDraft& pdfDraft() const { return pdfDraft_; }
    // A layout's maker and its draft, made together.
    struct PdfLayout {
        PdfMaker make;
        PdfDraft draft;
    };
    void setPdfLayout(PdfLayout layout)
    {
        setPdfMaker(std::move(layout.make));
        setPdfDraft(std::move(layout.draft));
    }
    const QList<ServerScript>& serverScripts() const { return serverScripts_; }
    // The command's protocol is part of its work: when one follows an unattended command, its
    // phase is said to have ended (100 %, done) only once the protocol is written, just before
    // the program ends.
    bool holdsPhaseEnds(const UpdateView& view) const;
    // What must be done before a command tells the operator it has ended (its protocol); run once.
    void setBeforeCompletion(std::function<void()> before) { beforeCompletion_ = std::move(before); }
    std::function<void()> takeBeforeCompletion() { return std::exchange(beforeCompletion_, {}); }
    // The command's completion message (UpdateView::showCompletion), once what must come before it is done.
    void showCompletion(UpdateView& view, int kind, int failedStatements, const QString& logFile);
    void holdPhaseEnd(const PhaseProgress& end) { heldPhaseEnd_ = end; }
    std::optional<PhaseProgress> takeHeldPhaseEnd() { return std::exchange(heldPhaseEnd_, std::nullopt); }

    // Commands that an error ended before their end, in this run.
    void noteCommandEndedByError() { ++commandsEndedByError_; }
    int commandsEndedByError() const { return commandsEndedByError_; }
    // Commands refused before they changed anything (a failed backup, another instance's claim).
    void noteCommandRefused() { ++commandsRefused_; }
    int commandsRefused() const { return commandsRefused_; }
    bool refusedBeforeChange() const { return commandsRefused_ > 0; }

    // Transactions this program started on the database other than through Database1 (a
    // backup's watch over its gbak), so that they are not taken for anyone else's.
    void noteOwnTransactionsElsewhere(std::uint64_t count) { ownTransactionsElsewhere_ += count; }
    std::uint64_t ownTransactions() const { return Database1.transactionsStarted() + ownTransactionsElsewhere_; }
    // Attachments this program made to the database other than through Database1 and its backups
    // (the protocol's figures read beside its check).
    void noteOwnAttachmentsElsewhere(std::uint64_t count) { ownAttachmentsElsewhere_ += count; }
    // Backups of the database this program recorded in this run.
    void noteBackupRecorded() { ++backupsRecorded_; }
    int backupsRecorded() const { return backupsRecorded_; }
    std::uint64_t ownAttachments() const { return Database1.attachmentsMade() + ownAttachmentsElsewhere_; }

    // The Backup setting: the file the full update backs up into first; empty for none.
    QString backupFile() const { return backupFile_; }
    void setBackupFile(const QString& file) { backupFile_ = file; }
    // The Rehearsal setting: the full update is first rehearsed on a restored copy.
    bool rehearsalWanted() const { return rehearsal_; }
    void setRehearsalWanted(bool wanted) { rehearsal_ = wanted; }

    db::Connection Database1;
    db::Query Q{Database1};
    db::Query QueryPobyty{Database1};

private:
    void prepare();

    const QList<ServerScript> serverScripts_;
    QString programDir_;
    bool onRehearsalCopy_ = false;
    RunLog log_;
    StopProbe stop_;
    int stopsHeld_ = 0;
    std::uint64_t ownTransactionsElsewhere_ = 0;
    std::uint64_t ownAttachmentsElsewhere_ = 0;
    int backupsRecorded_ = 0;
    NightProtocol protocol_;
    StatementRunner runner_{Q, log_, [this] { throwIfStopRequested(); }};
    int commandsEndedByError_ = 0;
    int commandsRefused_ = 0;
    QString backupFile_;
    bool rehearsal_ = false;
    bool writesProtocols_ = false;
    PdfMaker pdfMaker_;
    PdfDraft pdfDraft_;
    std::optional<PhaseProgress> heldPhaseEnd_;
    std::function<void()> beforeCompletion_;
};

} // namespace update
