// The long phases as an unattended run and `--rehearse` tell them on standard error, and the
// forecast of the real run that the rehearsal's report gives.

#include "FreshDatabase.h"
#include "InstalledProgram.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

class PhaseLines : public testing::Test {
protected:
    PhaseLines()
    {
        const QByteArray directory = QByteArray::fromStdString(database.directory().string());
        program.writeSettingsText("[Params]\r\nAlias=" + QByteArray::fromStdString(database.path())
                                  + "\r\nUser=SYSDBA\r\nBackup=" + directory + "/hotel.fbk\r\n");
    }

    // The percents of the phase's lines on standard error, in order; each line must read as the
    // operator is promised: "backup: 37 % (412 of 1,110 MB), about 2 min left".
    std::vector<int> percentsOf(const QString& phase)
    {
        const QRegularExpression line(QStringLiteral("^dph2012: %1: (\\d+) % \\((\\S+ of \\S+ MB|\\S+ MB|step \\d of 8)\\)"
                                                     "(, about \\d+ (s|min) left|, done)?$")
                                          .arg(QRegularExpression::escape(phase)));
        std::vector<int> percents;
        for (const QString& text : program.standardError().split(QLatin1Char('\n'))) {
            // The backup's other line names its file.
            const QString prefix = QStringLiteral("dph2012: ") + phase + QStringLiteral(": ");
            if (!text.startsWith(prefix) || text.size() <= prefix.size() || !text[prefix.size()].isDigit())
                continue;
            const QRegularExpressionMatch match = line.match(text);
            EXPECT_TRUE(match.hasMatch()) << text.toStdString();
            if (match.hasMatch())
                percents.push_back(match.captured(1).toInt());
        }
        return percents;
    }

    static void expectRisingToAHundred(const std::vector<int>& percents)
    {
        ASSERT_FALSE(percents.empty());
        EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
        EXPECT_LE(percents.back(), 100);
        EXPECT_EQ(percents.back(), 100);
    }

    FreshDatabase database{HotelData::Demo};
    InstalledProgram program;
};

TEST_F(PhaseLines, AnUnattendedRunTellsTheBackupAndTheUpdateInPercent)
{
    ASSERT_EQ(program.run({QStringLiteral("x")}), 0) << program.standardError().toStdString();
    expectRisingToAHundred(percentsOf(QStringLiteral("backup")));
    expectRisingToAHundred(percentsOf(QStringLiteral("update")));
    EXPECT_TRUE(program.standardError().contains(QStringLiteral("dph2012: update: 100 % (step 8 of 8), done\n")))
        << program.standardError().toStdString();
}

// The protocol is the last phase of a command: the command's own "100 %, done" is said only once
// the protocol's PDF is written, as the last line, and nothing said it earlier.
TEST_F(PhaseLines, ACommandIsDoneOnlyOnceItsProtocolIsWritten)
{
    const struct {
        QStringList arguments;
        QString end;
    } commands[] = {
        {{QStringLiteral("x")}, QStringLiteral("dph2012: update: 100 % (step 8 of 8), done")},
        {{QStringLiteral("--step7"), QStringLiteral("c")}, QStringLiteral("dph2012: step 7: 100 % (")},
    };
    const QDir directory(program.directory());
    for (const auto& command : commands) {
        SCOPED_TRACE(command.arguments.join(QLatin1Char(' ')).toStdString());
        const QStringList pdfsBefore = directory.entryList({QStringLiteral("QVTDPH2012-protokol-*.pdf")});
        const qsizetype saidBefore = program.standardError().size();
        program.start(command.arguments);
        ASSERT_TRUE(program.writesToStandardError(command.end)) << program.standardError().toStdString();
        EXPECT_EQ(directory.entryList({QStringLiteral("QVTDPH2012-protokol-*.pdf")}).size(), pdfsBefore.size() + 1);
        ASSERT_TRUE(program.endsByItself());
        EXPECT_EQ(program.exitCode(), 0);
        const QStringList lines = program.standardError().mid(saidBefore).trimmed().split(QLatin1Char('\n'));
        EXPECT_TRUE(lines.last().startsWith(command.end)) << lines.last().toStdString();
        const qsizetype protocol = lines.indexOf(QRegularExpression(QStringLiteral("^dph2012: protocol: \\d+ %.*")));
        ASSERT_GE(protocol, 0) << program.standardError().toStdString();
        EXPECT_EQ(lines.filter(command.end).size(), 1) << program.standardError().toStdString();
    }
}

TEST_F(PhaseLines, ARehearsalTellsItsPhasesAndForecastsTheRealRunFromWhatItMeasured)
{
    ASSERT_EQ(program.run({QStringLiteral("--rehearse")}), 0) << program.standardError().toStdString();
    // The backup passes on its way into the copy: one phase.
    expectRisingToAHundred(percentsOf(QStringLiteral("backup and restore")));
    EXPECT_TRUE(percentsOf(QStringLiteral("backup")).empty() && percentsOf(QStringLiteral("restore")).empty());
    expectRisingToAHundred(percentsOf(QStringLiteral("rehearsed update")));
    EXPECT_TRUE(percentsOf(QStringLiteral("update")).empty()) << "nothing ran on the hotel's database";

    const QString report = program.standardOutput();
    const QRegularExpressionMatch backup = QRegularExpression(QStringLiteral("\nZaloha:  \\S+ \\(([\\d.]+) s\\)\n")).match(report);
    const QRegularExpressionMatch times =
        QRegularExpression(QStringLiteral("\nCas: zaloha ([\\d.]+) s \\+ obnova [\\d.]+ s \\+ aktualizace ([\\d.]+) s = ")).match(report);
    const QRegularExpressionMatch forecast =
        QRegularExpression(QStringLiteral("\nOdhad skutecneho behu: zaloha ([\\d.]+) s \\+ aktualizace ([\\d.]+) s = ([\\d.]+) s\n"))
            .match(report);
    ASSERT_TRUE(backup.hasMatch() && times.hasMatch() && forecast.hasMatch()) << report.toStdString();
    EXPECT_EQ(forecast.captured(1), backup.captured(1));
    EXPECT_EQ(forecast.captured(1), times.captured(1));
    EXPECT_EQ(forecast.captured(2), times.captured(2));
    // Each figure is rounded to a tenth on its own.
    EXPECT_NEAR(forecast.captured(3).toDouble(), forecast.captured(1).toDouble() + forecast.captured(2).toDouble(), 0.11);
    // The way back is proved by the rehearsal's restore: the report says how long it takes, and
    // the record of backups marks this one as proved.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("\nNavrat \\(dph2012 --restore\\): zaloha je overena obnovou, potrva asi "
                                                  "[\\d.]+ s"))
                    .match(report)
                    .hasMatch())
        << report.toStdString();
    QFile record(QDir(program.directory()).filePath(QStringLiteral("QVTDPH2012-zalohy.stav")));
    ASSERT_TRUE(record.open(QIODevice::ReadOnly));
    const QList<QByteArray> fields = record.readAll().trimmed().split('\t');
    ASSERT_EQ(fields.size(), 9) << record.fileName().toStdString();
    EXPECT_EQ(fields[5], "1") << "proved";
}

} // namespace
