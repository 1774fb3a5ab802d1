#include "protocol/FiguresBeside.h"

#include "protocol/GroupFigures.h"
#include "update/UpdateSession.h"
#include "update/VisibleText.h"

#include <exception>

namespace update {

FiguresBeside::FiguresBeside(UpdateSession& session, NightProtocol& record)
    : session_(session),
      // A copy about to be dropped is spared the clearing of old versions, as its own attachment is.
      reader_(session.Database1,
              [&record](db::Connection& connection) {
                  fillGroupFigures(connection, record.groups(), record.postingMarks());
              },
              [&session] { return session.stopSignal() != 0; })
{
}

QString FiguresBeside::wait()
{
    QString unread;
    try {
        reader_.wait();
    } catch (const std::exception& error) {
        unread = visibleText(QString::fromLocal8Bit(error.what()));
    }
    session_.noteOwnTransactionsElsewhere(reader_.transactionsStarted());
    session_.noteOwnAttachmentsElsewhere(reader_.attachmentsMade());
    return unread;
}

} // namespace update
