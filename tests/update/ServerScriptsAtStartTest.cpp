// The five server-side texts are read when the session is made and held for the whole run.

#include "CommandFixture.h"

#include "update/FullUpdate.h"
#include "update/ServerScripts.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <optional>

namespace {

class ServerScriptsAtStart : public testsupport::CommandTest {
protected:
    ServerScriptsAtStart() : CommandTest(testsupport::HotelData::Base) {}

    // The program's own texts, copied to a directory of the test's own.
    void copyTexts() const
    {
        for (const update::ServerScript& script : builtIn)
            write(script.name, script.statement().toUtf8());
    }
    void write(const QString& name, const QByteArray& text) const
    {
        QFile file(texts->filePath(name + QStringLiteral(".sql")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    const QList<update::ServerScript> builtIn = update::ServerScripts();
    std::unique_ptr<QTemporaryDir> texts = std::make_unique<QTemporaryDir>();
    const QString logFile = session.log().filePath();
};

TEST_F(ServerScriptsAtStart, AMissingOrEmptyTextEndsStartUpNamingItBeforeAnythingIsSent)
{
    const struct {
        const char* fault;
        std::optional<QByteArray> text; // none: the file is missing
        const char* said;
    } faults[] = {{"missing", std::nullopt, "missing"}, {"empty", QByteArray(), "empty"},
                  {"blank", QByteArray(" \r\n\t\r\n"), "empty"}};
    for (const update::ServerScript& script : builtIn) {
        for (const auto& fault : faults) {
            copyTexts();
            if (fault.text)
                write(script.name, *fault.text);
            else
                ASSERT_TRUE(QFile::remove(texts->filePath(script.name + QStringLiteral(".sql"))));
            const std::string what = script.name.toStdString() + " " + fault.fault;
            try {
                const update::UpdateSession refused(session.programDir(), &update::RunLog::systemClock, texts->path());
                ADD_FAILURE() << what << ": the session was made";
            } catch (const update::MissingServerScript& error) {
                const QString message = QString::fromLocal8Bit(error.what());
                EXPECT_TRUE(message.contains(script.name) && message.contains(QLatin1String(fault.said))) << what;
            }
        }
    }
    EXPECT_FALSE(QFile::exists(logFile)) << "nothing was logged, so nothing was sent";
}

TEST_F(ServerScriptsAtStart, TheFullUpdateInstallsTheTextsReadAtStartEvenWhenTheirSourceIsGone)
{
    copyTexts();
    update::UpdateSession held(session.programDir(), &update::RunLog::systemClock, texts->path());
    held.applySettings(session.settings());
    texts.reset();

    ASSERT_TRUE(update::RunFullUpdate(held, view));
    EXPECT_EQ(held.runner().failureCount(), 0);
    for (const update::ServerScript& script : builtIn)
        EXPECT_EQ(entriesStartingWith(QStringLiteral("EXEC SQL       | ") + script.statement().trimmed()).size(), 1)
            << script.name.toStdString();
}

} // namespace
