#include "protocol/NightProtocolFile.h"

#include "protocol/FiguresBeside.h"
#include "protocol/GroupFigures.h"
#include "protocol/ProtocolContent.h"
#include "update/NightProtocol.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"
#include "update/VisibleText.h"
#include "update/safety/UpdateClaim.h"
#include "update/safety/OwnFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QScopeGuard>

#include <utility>

namespace update {

namespace {

const QString kFailedPrefix = QStringLiteral("PROTOKOL CHYBA").leftJustified(15) + QStringLiteral("| ");

// "<dir>/QVTDPH2012-protokol-20120101-083000" with a counter when a protocol has that name.
QString freeBaseName(const QString& directory, const QDateTime& started)
{
    const QString stamped = QDir(directory).filePath(kProtocolFilePrefix + started.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString base = stamped;
    for (int counter = 2; nameTakenHere(base + QStringLiteral(".pdf")) || nameTakenHere(base + QStringLiteral(".txt"));
         ++counter)
        base = stamped + QStringLiteral("-%1").arg(counter);
    return base;
}

// The protocol's own phase on the terminal and in the window. Its parts end at these percents.
class ProtocolClock {
public:
    static constexpr qint64 kFigures = 30, kCheck = 60, kText = 70;

    // `shown`: a night that never connected has no phase to tell.
    ProtocolClock(UpdateView& view, bool shown) : view_(view), shown_(shown)
    {
        clock_.start();
        reach(0);
    }
    ProtocolClock(const ProtocolClock&) = delete;
    ProtocolClock& operator=(const ProtocolClock&) = delete;
    // Whatever ends the writing, the phase ends: the window's bar and status are given back.
    ~ProtocolClock() { reach(progress_.total); }

    void reach(qint64 percent)
    {
        if (!shown_ || progress_.finished)
            return;
        progress_.done = percent;
        progress_.elapsedMilliseconds = clock_.elapsed();
        progress_.finished = percent >= progress_.total;
        view_.showPhaseProgress(progress_);
        progress_.shownPercent = progress_.percent().value_or(0);
    }

private:
    UpdateView& view_;
    const bool shown_;
    QElapsedTimer clock_;
    PhaseProgress progress_{Phase::Protocol, 100, false};
};

// The check, its attachment beside the session's counted as the session's own.
template <typename... Arguments>
ReadinessReport ownCheck(UpdateSession& session, Arguments&&... arguments)
{
    ReadinessReport report = CheckReadiness(std::forward<Arguments>(arguments)...);
    session.noteOwnTransactionsElsewhere(report.besideTransactions);
    session.noteOwnAttachmentsElsewhere(report.besideAttachments);
    return report;
}

} // namespace

bool runWithProtocol(UpdateSession& session, UpdateView& view, const std::function<bool()>& command)
{
    session.protocol().clear();
    bool written = false;
    const auto write = [&] {
        if (!std::exchange(written, true))
            writeNightProtocol(session, view, session.protocol());
    };
    // A command that runs to its end writes its protocol before it says so; the claim it holds
    // then ends any stop that came meanwhile.
    session.setBeforeCompletion(write);
    const auto unhook = qScopeGuard([&session] { session.setBeforeCompletion({}); });
    // Else the protocol follows the command, which has already dealt with a stop during it. The
    // command's phase ends last of all.
    const auto writeAfter = [&] {
        const bool stoppedBefore = session.stopSignal() != 0;
        const bool writing = !written;
        write();
        if (const int signal = session.stopSignal(); writing && !stoppedBefore && signal != 0)
            StopRun(session, signal);
        if (const std::optional<PhaseProgress> end = session.takeHeldPhaseEnd())
            view.showPhaseProgress(*end);
    };
    bool ended = false;
    try {
        ended = command();
    } catch (...) {
        writeAfter();
        throw;
    }
    writeAfter();
    return ended;
}

void writeNightProtocol(UpdateSession& session, UpdateView& view, NightProtocol& record,
                        std::optional<ReadinessReport> check, const QString& rehearsalCopy, UpdateSession* copy)
{
    if (!session.writesProtocols() || !record.begun())
        return;
    ProtocolClock clock(view, session.isConnected());
    QString unread;
    UpdateSession& figuresFrom = copy ? *copy : session;
    const std::optional<int> option = record.option() >= 0 ? std::optional<int>(record.option()) : std::nullopt;
    // After a stop signal the operator wants the program ended, not a check of the whole database.
    // Without stay groups there are no figures to read beside the check, nor an attachment to make for them.
    if (!check && session.stopSignal() == 0 && session.isConnected() && figuresFrom.isConnected()
        && !record.groups().empty()) {
        // The figures are read beside the check; once read, the layout measures the document
        // without the check while the check goes on.
        FiguresBeside figures(figuresFrom, record);
        bool read = false;
        const auto takeFigures = [&] {
            if (read)
                return;
            read = true;
            unread = figures.wait();
            clock.reach(ProtocolClock::kFigures);
            if (session.pdfDraft() && session.pdfMaker() && session.stopSignal() == 0)
                session.pdfDraft()(nightProtocolDocument(session, record, nullptr, rehearsalCopy, unread).toJson());
        };
        try {
            check = ownCheck(
                session, session.Database1,
                [&] {
                    if (figures.done())
                        takeFigures();
                    return session.stopSignal();
                },
                // The figures and the layout's draft keep the processors busy meanwhile.
                option, takeFigures, false);
        } catch (const Interrupted&) {
        }
        takeFigures();
    } else {
        try {
            fillGroupFigures(figuresFrom.Database1, record.groups(), record.postingMarks(),
                             [&clock](std::size_t filled, std::size_t groups) {
                                 clock.reach(static_cast<qint64>(ProtocolClock::kFigures * filled / groups));
                             });
        } catch (const std::exception& error) {
            unread = visibleText(QString::fromLocal8Bit(error.what()));
        }
        if (!check && session.stopSignal() == 0) {
            try {
                check = ownCheck(session, session.Database1, [&session] { return session.stopSignal(); }, option);
            } catch (const Interrupted&) {
            }
        }
    }
    clock.reach(ProtocolClock::kCheck);
    const ProtocolDocument protocol =
        nightProtocolDocument(session, record, check ? &*check : nullptr, rehearsalCopy, unread);
    const QString base = freeBaseName(session.programDir(), record.started());
    QString failure = replaceOwnFile(base + QStringLiteral(".txt"), protocol.text().toUtf8());
    clock.reach(ProtocolClock::kText);
    // After a stop signal the operator wants the program ended, not a PDF.
    const int stoppedBefore = session.stopSignal();
    if (failure.isEmpty() && session.pdfMaker() && stoppedBefore == 0) {
        const QByteArray pdf = session.pdfMaker()(protocol.toJson(), failure);
        // A stop during the layout: the caller ends the run, the PDF is not wanted.
        if (session.stopSignal() != 0)
            return;
        if (failure.isEmpty())
            failure = pdf.startsWith("%PDF-") ? replaceOwnFile(base + QStringLiteral(".pdf"), pdf)
                                              : QString::fromUtf8("PDF se nevytvořilo");
    }
    // The protocol's name carries the command's start, as the run log's entries do.
    if (failure.isEmpty())
        return;
    session.log().WriteLog(kFailedPrefix + visibleText(failure));
    view.showCommandError(QString::fromUtf8("Protokol noci nelze zapsat (%1): %2").arg(base + QStringLiteral(".pdf"), failure));
}

} // namespace update
