#include "protocol/FiguresBeside.h"

#include "protocol/GroupFigures.h"
#include "update/UpdateSession.h"
#include "update/VisibleText.h"

#include <exception>

namespace update {

FiguresBeside::FiguresBeside(UpdateSession& session, NightProtocol& record) : session_(session)
{
    applyTo(connection_, session.settings());
    // A copy about to be dropped is spared the clearing of old versions, as its own attachment is.
    connection_.setGarbageCollection(session.Database1.collectsGarbage());
    connection_.setInterruption([&session] { return session.stopSignal() != 0; });
    reader_ = std::thread([this, &record] {
        try {
            connection_.open();
            fillGroupFigures(connection_, record.groups(), record.postingMarks());
        } catch (const std::exception& error) {
            unread_ = visibleText(QString::fromLocal8Bit(error.what()));
        }
        try {
            connection_.close();
        } catch (const std::exception&) {
        }
        done_.store(true);
    });
}

FiguresBeside::~FiguresBeside()
{
    if (reader_.joinable())
        reader_.join();
}

QString FiguresBeside::wait()
{
    if (!reader_.joinable())
        return unread_;
    reader_.join();
    session_.noteOwnTransactionsElsewhere(connection_.transactionsStarted());
    session_.noteOwnAttachmentsElsewhere(connection_.attachmentsMade());
    return unread_;
}

} // namespace update
