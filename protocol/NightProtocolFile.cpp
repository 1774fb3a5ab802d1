#include "protocol/NightProtocolFile.h"

#include "protocol/GroupFigures.h"
#include "protocol/ProtocolContent.h"
#include "update/NightProtocol.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"
#include "update/VisibleText.h"
#include "update/safety/UpdateClaim.h"
#include "update/safety/OwnFile.h"

#include <QDir>

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

} // namespace

bool runWithProtocol(UpdateSession& session, UpdateView& view, const std::function<bool()>& command)
{
    session.protocol().clear();
    bool ended = false;
    try {
        ended = command();
    } catch (...) {
        writeNightProtocol(session, view, session.protocol());
        throw;
    }
    writeNightProtocol(session, view, session.protocol());
    return ended;
}

void writeNightProtocol(UpdateSession& session, UpdateView& view, NightProtocol& record,
                        std::optional<ReadinessReport> check, const QString& rehearsalCopy, UpdateSession* copy)
{
    if (!session.writesProtocols() || !record.begun())
        return;
    QString unread;
    try {
        fillGroupFigures((copy ? copy : &session)->Database1, record.groups(), record.postingMarks());
    } catch (const std::exception& error) {
        unread = visibleText(QString::fromLocal8Bit(error.what()));
    }
    // After a stop signal the operator wants the program ended, not a check of the whole database.
    if (!check && session.stopSignal() == 0) {
        try {
            const std::optional<int> option = record.option() >= 0 ? std::optional<int>(record.option()) : std::nullopt;
            check = CheckReadiness(session.Database1, [&session] { return session.stopSignal(); }, option);
        } catch (const Interrupted&) {
        }
    }
    const ProtocolDocument protocol =
        nightProtocolDocument(session, record, check ? &*check : nullptr, rehearsalCopy, unread);
    const QString base = freeBaseName(session.programDir(), record.started());
    QString failure = replaceOwnFile(base + QStringLiteral(".txt"), protocol.text().toUtf8());
    // After a stop signal the operator wants the program ended, not a PDF.
    const int stoppedBefore = session.stopSignal();
    if (failure.isEmpty() && session.pdfMaker() && stoppedBefore == 0) {
        const QByteArray pdf = session.pdfMaker()(protocol.toJson(), failure);
        if (const int signal = session.stopSignal()) {
            // The command's own end was logged before the layout: this stop ends the run here.
            StopRun(session, signal);
            return;
        }
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
