// A night's protocol that cannot be written whole: the run goes on, says so once, and keeps what
// it could write. Its figures read beside its check.

#include "CommandFixture.h"

#include "commands/FullUpdate.h"
#include "commands/StockAndBanquets.h"
#include "protocol/ProtocolDocument.h"
#include "update/safety/DatabaseChanges.h"

#include <QDir>
#include <QFile>

#include <functional>
#include <optional>
#include <string>

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

// Work beside the session's attachment: with option c the figures are read beside the check,
// with option a the check reads its longest items beside itself. Either way the check sees no
// other attachment, and those attachments and their transactions count as the program's own.
// (That a draft laid out ahead changes no page is shown through the layout process itself.)
class NightProtocolBeside : public testsupport::CommandTest, public testing::WithParamInterface<int> {};

TEST_P(NightProtocolBeside, CountsAsTheProgramsOwn)
{
    view.option = GetParam();
    session.setWritesProtocols(true);
    QByteArray laid;
    session.setPdfLayout({[&laid](const QByteArray& json, QString&) {
                              laid = json;
                              return QByteArray("%PDF-1.4\n");
                          },
                          [](const QByteArray&) {}});
    connection.close();
    ASSERT_TRUE(session.connect());
    const std::optional<update::TransactionMark> before = update::markTransactions(session);
    ASSERT_TRUE(before.has_value());
    EXPECT_TRUE(update::RunFullUpdate(session, view));
    bool attachmentsSeen = false;
    for (const update::ProtocolSection& section : update::ProtocolDocument::fromJson(laid).sections)
        for (const QStringList& row : section.rows)
            if (row.value(0) == QStringLiteral("Dalsi pripojeni k databazi")) {
                attachmentsSeen = true;
                EXPECT_EQ(row.value(1), QStringLiteral("0"));
            }
    EXPECT_TRUE(attachmentsSeen);
    EXPECT_FALSE(update::othersMayHaveChanged(session, before, 0));
}

INSTANTIATE_TEST_SUITE_P(Options, NightProtocolBeside, testing::Values(0, 2),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == 0 ? std::string("TheCheckReadsBesideItself")
                                                    : std::string("TheFiguresAreReadBesideTheCheck");
                         });

} // namespace
