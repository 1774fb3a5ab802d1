// The night's protocol as the accountant gets it: the PDF's text (as a PDF reader extracts it)
// against what the database and the backup file show.

#include "FreshDatabase.h"
#include "InstalledProgram.h"

#include "db/Connection.h"
#include "db/ResultSet.h"
#include "protocol/ProtocolDocument.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>
#include <map>

#include <signal.h>

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

class NightProtocol : public testing::Test {
protected:
    void SetUp() override
    {
        program.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(database.path())
                                  + "\r\nUser=SYSDBA\r\nBackup=" + backup.toUtf8() + "\r\n" + extraSettings());
    }
    virtual QByteArray extraSettings() const { return {}; }

    db::ResultSet select(const std::string& sql) const
    {
        db::Connection connection;
        connection.setDatabase(database.path());
        connection.setUser("SYSDBA");
        return connection.select(sql);
    }
    std::int64_t count(const std::string& sql) const { return select(sql).integer(0); }

    // The newest protocol's PDF as pdftotext reads it, pages split by form feeds.
    QString protocolText() const
    {
        const QStringList pdfs = QDir(program.directory()).entryList({QStringLiteral("QVTDPH2012-protokol-*.pdf")}, QDir::Files, QDir::Time);
        if (pdfs.isEmpty())
            return {};
        QProcess extract;
        extract.start(QStringLiteral("pdftotext"),
                      {QStringLiteral("-layout"), QDir(program.directory()).filePath(pdfs.front()), QStringLiteral("-")});
        extract.waitForFinished(60000);
        return QString::fromUtf8(extract.readAllStandardOutput());
    }

    // "update pos_taxes   2": the rows the protocol says that statement changed; -1 when absent.
    static qint64 changedBy(const QString& text, const QString& statement)
    {
        const QRegularExpressionMatch match =
            QRegularExpression(QRegularExpression::escape(statement) + QStringLiteral("[^\\n]*\\s(\\d+)\\s*$"),
                               QRegularExpression::MultilineOption)
                .match(text);
        return match.hasMatch() ? match.captured(1).toLongLong() : -1;
    }

    const FreshDatabase database{HotelData::Demo};
    const QString backup = QString::fromStdString((database.directory() / "hotel.fbk").string());
    mutable InstalledProgram program;
};

// "4 590,00" as the protocol writes an amount, in hundredths.
qint64 cents(const QString& amount)
{
    QString digits = amount;
    digits.remove(QLatin1Char(' ')).remove(QLatin1Char(','));
    return digits.toLongLong();
}

TEST_F(NightProtocol, CountsTheRowsEachStepChangedAndNamesTheBackupByItsChecksum)
{
    const std::int64_t taxes = count("select count(*) from POS_TAXES where PERCENTAGE = 10");
    const std::int64_t services = count("select count(*) from CISSLUZ where DPH = 10 and TYPSLUZBY <> 1");
    const std::int64_t settings = count("select count(*) from QVT_KONFIG where HODNOTACZ = '10' and ITEM like 'DPHSazba%'");
    const std::int64_t servicePrices =
        count("select cast(sum(CENA) * 100 as integer) from CISSLUZ where DPH = 10 and TYPSLUZBY <> 1 and MENA = 'CZK'");
    std::map<std::string, std::string> linesBefore;
    std::map<std::string, std::int64_t> pricesInCrowns;
    for (db::ResultSet lines = select("select ID, DPH, iif(MENA = 'CZK', cast(CENA * coalesce(POCET, 1) * (DATUMDO - "
                                      "DATUMOD) * 100 as integer), 0) from REC_MM_REZDET");
         !lines.eof(); lines.next()) {
        linesBefore[lines.text(0)] = lines.text(1);
        pricesInCrowns[lines.text(0)] = lines.integer(2);
    }
    ASSERT_GT(taxes * services * settings, 0) << "the demo has something to move in each step";

    // Option a leaves every line to step 5: what moved to 14 is step 5's alone.
    ASSERT_EQ(program.run({QStringLiteral("--update"), QStringLiteral("a")}), 0) << program.standardError().toStdString();
    qint64 moved = 0;
    std::int64_t movedPrices = 0;
    for (db::ResultSet lines = select("select ID, DPH from REC_MM_REZDET"); !lines.eof(); lines.next())
        if (linesBefore[lines.text(0)] == "10" && lines.text(1) == "14") {
            ++moved;
            movedPrices += pricesInCrowns[lines.text(0)];
        }
    ASSERT_GT(moved, 0);
    ASSERT_GT(count("select count(*) from REC_MM_REZDET where DPH = 14"), moved) << "lines at 14 before the night too";

    const QString text = protocolText();
    EXPECT_EQ(changedBy(text, QStringLiteral("update pos_taxes")), taxes) << text.toStdString();
    EXPECT_EQ(changedBy(text, QStringLiteral("update cissluz")), services);
    EXPECT_EQ(changedBy(text, QStringLiteral("update QVT_KONFIG")), settings);
    EXPECT_EQ(changedBy(text, QStringLiteral("update rec_mm_rezdet")), moved);
    QFile file(backup);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(text.contains(QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex())));
    EXPECT_TRUE(text.contains(QRegularExpression(QString::fromUtf8("Chybné příkazy:\\s+0\\s"))));
    // Step 3 moved the services at their catalogue prices; the backup is this run's, with its time.
    const QRegularExpressionMatch worth =
        QRegularExpression(QStringLiteral("update cissluz +(?:[^\\n]*; )?(-?[\\d ]+,\\d\\d) CZK +%1").arg(services)).match(text);
    ASSERT_TRUE(worth.hasMatch()) << text.toStdString();
    EXPECT_EQ(cents(worth.captured(1)), servicePrices);
    // Step 5's figure is what the lines it moved are worth, not those at 14 before it.
    const QRegularExpressionMatch linesWorth =
        QRegularExpression(QStringLiteral("update rec_mm_rezdet +(?:[^\\n]*; )?(-?[\\d ]+,\\d\\d) CZK")).match(text);
    ASSERT_TRUE(linesWorth.hasMatch()) << text.toStdString();
    EXPECT_EQ(cents(linesWorth.captured(1)), movedPrices);
    EXPECT_TRUE(text.contains(QString::fromUtf8("Záloha vytvořena:")));
}

// What step 7 posted, per group and in total, by rate, carried over and in the cash journal: the
// protocol's figures are the database's own, and its totals add up.
TEST_F(NightProtocol, WhatTheNightPostedAddsUpToTheDatabasesSums)
{
    const std::int64_t lastItem = count("select max(ID) from REC_CHECKDTL");
    const std::int64_t lastRow = count("select max(ID) from REC_POKLDENIK");
    ASSERT_EQ(program.run({QStringLiteral("--update"), QStringLiteral("c")}), 0) << program.standardError().toStdString();
    const QString text = protocolText();
    const qsizetype start = text.indexOf(QString::fromUtf8("co noc zaúčtovala"));
    const qsizetype end = text.indexOf(QString::fromUtf8("Kontrola po běhu"), start);
    ASSERT_GT(start, 0) << text.toStdString();
    const QString section = text.mid(start, end - start);
    const QRegularExpression amount(QStringLiteral("-?\\d{1,3}(?: \\d{3})*,\\d{2}"));
    // The figures of the row that begins with `first`.
    const auto figures = [&](const QString& first) {
        std::vector<qint64> values;
        const QRegularExpressionMatch row =
            QRegularExpression(QStringLiteral("^ *") + first + QStringLiteral(" +(.*)$"), QRegularExpression::MultilineOption)
                .match(section);
        for (QRegularExpressionMatchIterator each = amount.globalMatch(row.captured(1)); each.hasNext();)
            values.push_back(cents(each.next().captured(0)));
        return values;
    };
    const std::string items = " from REC_CHECKDTL D join REC_CHECKHEAD H on H.CisloUctu = D.CisloUctu where D.ID > "
        + std::to_string(lastItem);
    const std::string rows = " from REC_POKLDENIK P join REC_CHECKHEAD H on H.CisloUctu = P.CisloUctu where P.ID > "
        + std::to_string(lastRow);
    const std::string itemsByRate = "cast(coalesce(sum(iif(D.SysInfo not like '%DPH 2011/2012 #%' and D.DPH = %1, D.Trzba, 0)), 0) * 100 as integer)";
    const auto expected = [&](const std::string& client) {
        std::vector<qint64> values;
        const std::string only = client.empty() ? "" : " and H.CisloKlienta = " + client;
        for (const char* rate : {"0", "10", "14", "20"})
            values.push_back(count("select " + QString::fromStdString(itemsByRate).arg(QLatin1String(rate)).toStdString()
                                   + items + only));
        values.push_back(count("select cast(coalesce(sum(iif(D.SysInfo not like '%DPH 2011/2012 #%', D.Trzba, 0)), 0) * 100 as integer)" + items + only));
        values.push_back(count("select cast(coalesce(sum(iif(D.SysInfo like '%DPH 2011/2012 #%', D.Trzba, 0)), 0) * 100 as integer)" + items + only));
        values.push_back(count("select cast(coalesce(sum(iif(H.Status = 2, P.Castka, 0)), 0) * 100 as integer)" + rows + only));
        values.push_back(count("select cast(coalesce(sum(iif(H.Status = 2, 0, P.Castka)), 0) * 100 as integer)" + rows + only));
        return values;
    };
    db::ResultSet groups = select("select distinct R.CisloSkupiny from REC_MM_REZERVACE R where R.DatumOdjezd = '31.12.2011' "
                                  "and exists (select 1 from REC_MM_REZERVACE N where N.CisloSkupiny = R.CisloSkupiny and "
                                  "N.DatumPrijezd = '31.12.2011')");
    ASSERT_GT(groups.rowCount(), 1u);
    for (; !groups.eof(); groups.next()) {
        SCOPED_TRACE(groups.text(0));
        EXPECT_EQ(figures(QString::fromStdString(groups.text(0))), expected(groups.text(0))) << section.toStdString();
    }
    const std::vector<qint64> total = expected("");
    EXPECT_GT(total.at(4), 0);
    EXPECT_EQ(figures(QStringLiteral("Celkem")), total) << section.toStdString();

    // The same protocol as text, for mail or a terminal.
    ASSERT_EQ(program.run({QStringLiteral("--protocol")}), 0);
    EXPECT_TRUE(program.standardOutput().contains(QString::fromUtf8("Krok 7: co noc zaúčtovala na účty hostů")));
}

// A rehearsal on a database without the food-and-beverage rates: its step 2 fails on the copy.
class RehearsalProtocol : public NightProtocol {
protected:
    void SetUp() override
    {
        NightProtocol::SetUp();
        db::Connection connection;
        connection.setDatabase(database.path());
        connection.setUser("SYSDBA");
        connection.execute("drop table FBS_VAT");
    }
};

TEST_F(RehearsalProtocol, MarksEveryPageAsARehearsalAndListsTheFailedStatement)
{
    program.run({QStringLiteral("--rehearse"), QStringLiteral("c")});
    const QString text = protocolText();
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_GT(pages.size(), 1) << text.toStdString();
    for (const QString& page : pages)
        EXPECT_TRUE(page.trimmed().isEmpty() || page.contains(QString::fromUtf8("ZKOUŠKA NA KOPII"))) << page.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression(QString::fromUtf8("Krok 2: stravování +select count\\(\\*\\) Pocet from fbs_vat"))))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("FBS_VAT"))) << "the engine's message names the table";
    EXPECT_TRUE(pages.front().contains(QString::fromUtf8("Protokol ZKOUŠKY změny sazby DPH"))) << pages.front().toStdString();
    // The signatures close the document, after every figure they sign.
    EXPECT_TRUE(pages.back().contains(QString::fromUtf8("Převzal (účetní): ")) && pages.back().contains(QStringLiteral("Datum:")))
        << pages.back().toStdString();
}

// What the engine says may carry the hotel's own text: the PDF shows it as it stands, never as
// markup that would hide or restyle part of it.
TEST_F(NightProtocol, AnEngineMessageWithMarkupIsLaidOutAsItsText)
{
    {
        db::Connection connection;
        connection.setDatabase(database.path());
        connection.setUser("SYSDBA");
        connection.execute("create exception TEST_MARKUP '<b>Kalmor</b> &amp; <img src=x>'");
        connection.execute("create trigger TEST_MARKUP_POS for POS_TAXES before update as begin exception TEST_MARKUP; end");
    }
    EXPECT_EQ(program.run({QStringLiteral("--update"), QStringLiteral("c")}), 2) << program.standardError().toStdString();
    const QString text = protocolText();
    EXPECT_TRUE(text.contains(QStringLiteral("<b>Kalmor</b> &amp; <img src=x>"))) << text.toStdString();
}

// A stop ends the protocol's layout process by its id wherever it is: started with the command
// and not given its document yet, or laying the PDF out; the run ends at once, logged as stopped,
// with no PDF.
TEST_F(NightProtocol, AStopEndsTheLayoutProcessWhereverItIs)
{
    const struct {
        const char* point;
        const char* when;
    } holds[] = {{"layout-start", "before its document"}, {"layout", "during the layout"}};
    for (const auto& each : holds) {
        SCOPED_TRACE(each.when);
        const FreshDatabase fresh(HotelData::Demo);
        InstalledProgram run;
        run.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(fresh.path()) + "\r\nUser=SYSDBA\r\n");
        const QString hold = QDir(run.directory()).filePath(QStringLiteral("hold"));
        const QByteArray layoutId =
            run.startHeldAt(QString::fromLatin1(each.point), hold, {QStringLiteral("--update"), QStringLiteral("c")});
        ASSERT_FALSE(layoutId.isEmpty()) << run.standardError().toStdString();
        ASSERT_EQ(::kill(static_cast<pid_t>(run.processId()), SIGTERM), 0);
        // The layout's process is held for a minute: a run that waited for it would still be running.
        ASSERT_FALSE(run.stillRunningAfter(10000)) << run.logEntries().join(QLatin1Char('\n')).toStdString();
        EXPECT_EQ(run.exitCode(), 143) << run.standardError().toStdString();
        EXPECT_EQ(run.logEntries().last(), QStringLiteral("PRERUSENO      | SIGTERM"))
            << run.logEntries().join('\n').toStdString();
        EXPECT_EQ(run.logEntries().filter(QStringLiteral("PRERUSENO")).size(), 1);
        const pid_t layout = static_cast<pid_t>(layoutId.toLongLong());
        ASSERT_GT(layout, 0);
        EXPECT_TRUE(::kill(layout, 0) != 0 && errno == ESRCH) << "the layout process " << layout << " still runs";
        EXPECT_TRUE(QDir(run.directory()).entryList({QStringLiteral("QVTDPH2012-protokol-*.pdf")}, QDir::Files).isEmpty());
        QFile::remove(hold);
    }
}

// The layout process given a draft first (the document without its check, ended by a NUL byte)
// and then the document lays out the same pages as given the document alone, whatever of the
// draft differs: a table left out, a fact changed, a table with one cell changed.
TEST(ProtocolLayout, ADraftMeasuredAheadLaysOutTheSamePagesAsTheDocumentAlone)
{
    const auto table = [](const QString& heading, int rows, const QString& longCell) {
        update::ProtocolSection section;
        section.heading = heading;
        section.columns = {QStringLiteral("Skupina"), QStringLiteral("Stav")};
        section.widths = {20, 80};
        for (int row = 0; row < rows; ++row)
            section.rows.push_back({QString::number(500 + row), row % 3 ? QStringLiteral("OK") : longCell});
        return section;
    };
    const QString wrapping = QString::fromUtf8("rozdělena; ubytování nocí do 30.12.2011 na účet 5001; účet uzavřen, nový "
                                               "112001; ").repeated(3);
    update::ProtocolDocument whole;
    whole.title = QStringLiteral("Protokol");
    update::ProtocolSection first;
    first.facts = {{QString::fromUtf8("Výsledek"), QString::fromUtf8("kontrola po běhu: z kroků 1 až 7 nic nezůstalo")}};
    whole.sections = {first, table(QStringLiteral("Skupiny"), 300, wrapping), table(QStringLiteral("Zaplaceno"), 200, wrapping),
                      table(QStringLiteral("Kontrola po behu"), 40, wrapping)};
    update::ProtocolDocument draft = whole;
    draft.sections.pop_back();
    draft.sections.front().facts.front().second = QString::fromUtf8("kontrola po běhu neproběhla");
    // One cell that wraps in the document fits on one line in the draft.
    draft.sections[2].rows[150][1] = QStringLiteral("OK");

    const auto laidOut = [](const QByteArray& input) {
        QTemporaryDir directory;
        QProcess layout;
        layout.start(QStringLiteral(DPH2012_EXECUTABLE), {QStringLiteral("--protocol-pdf")});
        layout.write(input);
        layout.closeWriteChannel();
        EXPECT_TRUE(layout.waitForFinished(60000));
        EXPECT_EQ(layout.exitCode(), 0) << layout.readAllStandardError().toStdString();
        const QString pdf = directory.filePath(QStringLiteral("protocol.pdf"));
        QFile file(pdf);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(layout.readAllStandardOutput());
        file.close();
        QProcess extract;
        extract.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        extract.waitForFinished(60000);
        return QString::fromUtf8(extract.readAllStandardOutput());
    };
    const QString alone = laidOut(whole.toJson());
    ASSERT_GT(alone.count(QLatin1Char('\f')), 3) << alone.toStdString();
    EXPECT_EQ(laidOut(draft.toJson() + QByteArray(1, '\0') + whole.toJson()), alone);
}

} // namespace
