// A night's protocol that cannot be written whole: the run goes on, says so once, and keeps what
// it could write.

#include "CommandFixture.h"

#include "commands/FullUpdate.h"
#include "commands/StockAndBanquets.h"

#include <QDir>
#include <QFile>

#include <functional>

#include <gtest/gtest.h>

namespace {

class NightProtocolFile : public testsupport::CommandTest {};

TEST_F(NightProtocolFile, APdfThatCannotBeMadeIsSaidOnceAndTheRunAndTheTextStand)
{
    const struct {
        const char* command;
        std::function<bool(update::UpdateSession&, update::UpdateView&)> run;
    } cases[] = {
        {"Úplná aktualizace", &update::RunFullUpdate},
        {"Sklad a bankety", &update::UpdateStockAndBanquets},
    };
    session.setWritesProtocols(true);
    session.setPdfMaker([](const QByteArray&, QString& why) {
        why = QStringLiteral("no fonts");
        return QByteArray();
    });
    const QDir directory(QString::fromStdString(database.directory().string()));
    for (const auto& [command, run] : cases) {
        SCOPED_TRACE(command);
        view.events.clear();
        const QStringList before = directory.entryList({QStringLiteral("QVTDPH2012-protokol-*.txt")}, QDir::Files);
        EXPECT_TRUE(run(session, view));
        const QStringList errors = view.eventsStartingWith(QStringLiteral("error "));
        ASSERT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors[0].contains(QStringLiteral("no fonts"))) << errors[0].toStdString();
        EXPECT_TRUE(directory.entryList({QStringLiteral("QVTDPH2012-protokol-*.pdf")}, QDir::Files).isEmpty());
        const QStringList texts = directory.entryList({QStringLiteral("QVTDPH2012-protokol-*.txt")}, QDir::Files, QDir::Time);
        ASSERT_EQ(texts.size(), before.size() + 1);
        QFile text(directory.filePath(texts.front()));
        ASSERT_TRUE(text.open(QIODevice::ReadOnly));
        EXPECT_TRUE(QString::fromUtf8(text.readAll()).contains(QString::fromUtf8(command)));
    }
    EXPECT_EQ(entriesStartingWith(QStringLiteral("PROTOKOL CHYBA")).size(), 2);
    EXPECT_EQ(session.commandsEndedByError(), 0);
}

} // namespace
