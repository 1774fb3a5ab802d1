// The night's protocol as the accountant gets it: the PDF's text (as a PDF reader extracts it)
// against what the database and the backup file show.

#include "FreshDatabase.h"
#include "InstalledProgram.h"

#include "db/Connection.h"
#include "db/ResultSet.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <map>

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
            QRegularExpression(QRegularExpression::escape(statement) + QStringLiteral("\\s+(\\d+)\\s*$"),
                               QRegularExpression::MultilineOption)
                .match(text);
        return match.hasMatch() ? match.captured(1).toLongLong() : -1;
    }

    const FreshDatabase database{HotelData::Demo};
    const QString backup = QString::fromStdString((database.directory() / "hotel.fbk").string());
    mutable InstalledProgram program;
};

TEST_F(NightProtocol, CountsTheRowsEachStepChangedAndNamesTheBackupByItsChecksum)
{
    const std::int64_t taxes = count("select count(*) from POS_TAXES where PERCENTAGE = 10");
    const std::int64_t services = count("select count(*) from CISSLUZ where DPH = 10 and TYPSLUZBY <> 1");
    const std::int64_t settings = count("select count(*) from QVT_KONFIG where HODNOTACZ = '10' and ITEM like 'DPHSazba%'");
    std::map<std::string, std::string> linesBefore;
    for (db::ResultSet lines = select("select ID, DPH from REC_MM_REZDET"); !lines.eof(); lines.next())
        linesBefore[lines.text(0)] = lines.text(1);
    ASSERT_GT(taxes * services * settings, 0) << "the demo has something to move in each step";

    // Option a leaves every line to step 5: what moved to 14 is step 5's alone.
    ASSERT_EQ(program.run({QStringLiteral("--update"), QStringLiteral("a")}), 0) << program.standardError().toStdString();
    qint64 moved = 0;
    for (db::ResultSet lines = select("select ID, DPH from REC_MM_REZDET"); !lines.eof(); lines.next())
        moved += linesBefore[lines.text(0)] == "10" && lines.text(1) == "14";
    ASSERT_GT(moved, 0);

    const QString text = protocolText();
    EXPECT_EQ(changedBy(text, QStringLiteral("update pos_taxes")), taxes) << text.toStdString();
    EXPECT_EQ(changedBy(text, QStringLiteral("update cissluz")), services);
    EXPECT_EQ(changedBy(text, QStringLiteral("update QVT_KONFIG")), settings);
    EXPECT_EQ(changedBy(text, QStringLiteral("update rec_mm_rezdet")), moved);
    QFile file(backup);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(text.contains(QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex())));
    EXPECT_TRUE(text.contains(QRegularExpression(QString::fromUtf8("Chybné příkazy:\\s+0\\s"))));
}

TEST_F(NightProtocol, NamesEverySplitGroupWithWhatItsAccountsHoldAtEachRate)
{
    ASSERT_EQ(program.run({QStringLiteral("--update"), QStringLiteral("c")}), 0) << program.standardError().toStdString();
    const QString text = protocolText();
    db::ResultSet groups = select("select distinct R.CISLOSKUPINY from REC_MM_REZERVACE R where R.DATUMODJEZD = '31.12.2011' "
                                  "and exists (select 1 from REC_MM_REZERVACE N where N.CISLOSKUPINY = R.CISLOSKUPINY "
                                  "and N.DATUMPRIJEZD = '31.12.2011')");
    ASSERT_GT(groups.rowCount(), 1u);
    for (; !groups.eof(); groups.next()) {
        const std::string group = groups.text(0);
        QStringList amounts;
        for (const int rate : {10, 14}) {
            const db::ResultSet sum = select("select cast(coalesce(sum(D.TRZBA), 0) * 100 as integer) from REC_CHECKDTL D where D.DPH = "
                                             + std::to_string(rate) + " and D.CISLOUCTU in (select H.CISLOUCTU from REC_CHECKHEAD H "
                                             "where H.CISLOKLIENTA = " + group + ")");
            const qint64 cents = sum.integer(0);
            amounts.append(QStringLiteral("%1,%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0')));
        }
        const QRegularExpression row(QStringLiteral("^ *%1 .*\\b%2 +%3 +rozdělena").arg(QString::fromStdString(group), amounts.at(0), amounts.at(1)),
                                     QRegularExpression::MultilineOption);
        EXPECT_TRUE(row.match(text).hasMatch()) << group << " with " << amounts.join(QLatin1Char('/')).toStdString() << "\n"
                                                << text.toStdString();
    }
    // The same protocol as text, for mail or a terminal.
    ASSERT_EQ(program.run({QStringLiteral("--protocol")}), 0);
    EXPECT_TRUE(program.standardOutput().contains(QString::fromUtf8("Krok 7: skupiny ubytovaných hostů")));
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
}

} // namespace
