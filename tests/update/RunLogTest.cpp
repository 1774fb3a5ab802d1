// The run log's file, entry format and timestamp.

#include "update/RunLog.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QDateTime kEvening(QDate(2011, 12, 31), QTime(18, 5, 9));

TEST(RunLogTimestamp, ShortDateBlankLongTimeWithoutZone)
{
    EXPECT_EQ(update::RunLog::timestamp(kEvening, QLocale(QLocale::Czech, QLocale::Czechia)), "31.12.11 18:05:09");
    EXPECT_EQ(update::RunLog::timestamp(kEvening, QLocale(QLocale::English, QLocale::UnitedStates)),
              "12/31/11 6:05:09 PM");
}

TEST(RunLogTimestamp, TimeLeftOutAtExactlyMidnight)
{
    const QLocale czech(QLocale::Czech, QLocale::Czechia);
    EXPECT_EQ(update::RunLog::timestamp(QDateTime(QDate(2012, 1, 1), QTime(0, 0)), czech), "01.01.12");
    EXPECT_EQ(update::RunLog::timestamp(QDateTime(QDate(2012, 1, 1), QTime(0, 0, 0, 1)), czech), "01.01.12 0:00:00");
}

TEST(RunLog, EntriesAppendAcrossRunsWithCrLf)
{
    QTemporaryDir dir;
    const QLocale czech(QLocale::Czech, QLocale::Czechia);
    {
        const update::RunLog log(dir.path(), [] { return kEvening; }, czech);
        EXPECT_EQ(log.filePath(), QDir(dir.path()).filePath("QVTDPH2012.log"));
        EXPECT_TRUE(log.WriteLog("KROK 1         | "));
    }
    const update::RunLog later(dir.path(), [] { return kEvening.addSecs(1); }, czech);
    EXPECT_TRUE(later.WriteLog("KONEC          | "));
    EXPECT_EQ(contentOf(later.filePath()),
              "31.12.11 18:05:09 | KROK 1         | \r\n31.12.11 18:05:10 | KONEC          | \r\n");
}

TEST(RunLog, EmbeddedLineBreaksAreWrittenAsTheyAre)
{
    QTemporaryDir dir;
    const update::RunLog log(dir.path(), [] { return kEvening; }, QLocale(QLocale::Czech, QLocale::Czechia));
    EXPECT_TRUE(log.WriteLog("EXEC SQL       | CREATE or ALTER PROCEDURE X\r\nAS\r\nBEGIN\r\nEND\r\n"));
    EXPECT_EQ(contentOf(log.filePath()),
              "31.12.11 18:05:09 | EXEC SQL       | CREATE or ALTER PROCEDURE X\r\nAS\r\nBEGIN\r\nEND\r\n\r\n");
}

TEST(RunLog, FailureToWriteIsReportedAsFalse)
{
    QTemporaryDir dir;
    const update::RunLog missingDirectory(dir.filePath("no/such/dir"));
    EXPECT_FALSE(missingDirectory.WriteLog("x"));

    // The log's name taken by a directory: cannot be opened, even by root.
    ASSERT_TRUE(QDir(dir.path()).mkdir("QVTDPH2012.log"));
    update::RunLog blocked(dir.path());
    QStringList reports; // and once to the reporter, naming the file
    blocked.setFailureReporter([&reports](const QString& file, const QString&) { reports.append(file); });
    EXPECT_FALSE(blocked.WriteLog("x"));
    EXPECT_FALSE(blocked.WriteLog("y"));
    EXPECT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports.value(0).contains(dir.filePath("QVTDPH2012.log"))) << reports.value(0).toStdString();

    // A directory where nobody may create files, root included.
    const update::RunLog readOnly(QStringLiteral("/proc"));
    EXPECT_FALSE(readOnly.WriteLog("x"));
}

TEST(RunLog, AfterATornLineTheNextEntryStartsOnANewLine)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("QVTDPH2012.log"));
    for (const QByteArray& before : {QByteArray("31.12.11 18:05:09 | KROK 3  "), QByteArray("x\r"), QByteArray("x\n")}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(before);
        file.close();
        const update::RunLog log(dir.path(), [] { return kEvening; }, QLocale(QLocale::Czech, QLocale::Czechia));
        ASSERT_TRUE(log.WriteLog(QStringLiteral("KONEC")));
        EXPECT_EQ(contentOf(path), before + "\r\n31.12.11 18:05:09 | KONEC\r\n") << before.toStdString();
    }
}

// A disk that fills in the middle of an entry: the file may grow by this many bytes only.
TEST(RunLog, AnEntryThatDoesNotFitIsCutBackOffWhole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("QVTDPH2012.log"));
    const update::RunLog log(dir.path(), [] { return kEvening; }, QLocale(QLocale::Czech, QLocale::Czechia));
    ASSERT_TRUE(log.WriteLog(QStringLiteral("first")));
    const QByteArray before = contentOf(path);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{static_cast<rlim_t>(before.size() + 100), static_cast<rlim_t>(before.size() + 100)};
        setrlimit(RLIMIT_FSIZE, &limit);
        const bool written = log.WriteLog(QString(500, QLatin1Char('x')));
        _exit(written ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the entry cannot have been written";
    EXPECT_EQ(contentOf(path), before);
}

// Another instance appends to the same log while every entry of this one fails (a limit that only
// this process has hit): the entries of the other are never cut off with this one's.
TEST(RunLog, AFailedEntryNeverCutsOffWhatAnotherInstanceAppended)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("QVTDPH2012.log"));
    const update::RunLog log(dir.path(), [] { return kEvening; }, QLocale(QLocale::Czech, QLocale::Czechia));
    ASSERT_TRUE(log.WriteLog(QStringLiteral("first")));

    const pid_t failing = fork();
    ASSERT_GE(failing, 0);
    if (failing == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{1, 1};
        setrlimit(RLIMIT_FSIZE, &limit);
        int written = 0;
        for (int entry = 0; entry < 4000; ++entry)
            written += log.WriteLog(QStringLiteral("failing")) ? 1 : 0;
        _exit(written == 0 ? 0 : 1);
    }
    int appended = 0;
    int status = 0;
    while (waitpid(failing, &status, WNOHANG) == 0)
        appended += log.WriteLog(QStringLiteral("other %1").arg(appended)) ? 1 : 0;
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "no entry of the failing instance can have been written";
    const QByteArray content = contentOf(path);
    EXPECT_EQ(content.count("| other "), appended);
    EXPECT_TRUE(content.endsWith(QStringLiteral("| other %1\r\n").arg(appended - 1).toLatin1()));
}

} // namespace
