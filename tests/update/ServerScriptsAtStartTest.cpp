// The five server-side texts are read when the session is made and held for the whole run.

#include "CommandFixture.h"

#include "update/FullUpdate.h"
#include "update/ServerScripts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

class ServerScriptsAtStart : public testsupport::CommandTest {
protected:
    ServerScriptsAtStart() : CommandTest(testsupport::HotelData::Base) {}

    // The program's own texts in a directory of the test's own, one of them replaced when named.
    QString textsWith(const QString& replaced = {}, const char* text = nullptr) const
    {
        for (const update::ServerScript& script : update::ServerScripts()) {
            QFile file(texts.filePath(script.name + QStringLiteral(".sql")));
            if (script.name == replaced && !text)
                file.remove();
            else if (file.open(QIODevice::WriteOnly))
                file.write(script.name == replaced ? QByteArray(text) : script.statement().toUtf8());
        }
        return texts.path();
    }

    QTemporaryDir texts;
};

TEST_F(ServerScriptsAtStart, AMissingOrEmptyTextEndsStartUpNamingItBeforeAnythingIsSent)
{
    for (const update::ServerScript& script : update::ServerScripts())
        for (const char* text : {static_cast<const char*>(nullptr), "", " \r\n\t\r\n"}) {
            const QString directory = textsWith(script.name, text);
            try {
                const update::UpdateSession refused(session.programDir(), &update::RunLog::systemClock, directory);
                ADD_FAILURE() << script.name.toStdString() << ": the session was made";
            } catch (const update::MissingServerScript& error) {
                EXPECT_TRUE(QString::fromLocal8Bit(error.what()).contains(script.name)) << error.what();
                EXPECT_TRUE(QString::fromLocal8Bit(error.what()).contains(QLatin1String(text ? "empty" : "missing"))) << error.what();
            }
        }
    EXPECT_FALSE(QFile::exists(session.log().filePath())) << "nothing was logged, so nothing was sent";
}

TEST_F(ServerScriptsAtStart, TheFullUpdateInstallsTheTextsReadAtStartEvenWhenTheirSourceIsGone)
{
    update::UpdateSession held(session.programDir(), &update::RunLog::systemClock, textsWith());
    held.applySettings(session.settings());
    ASSERT_TRUE(QDir(texts.path()).removeRecursively());
    ASSERT_TRUE(update::RunFullUpdate(held, view));
    EXPECT_EQ(held.runner().failureCount(), 0);
    for (const update::ServerScript& script : update::ServerScripts())
        EXPECT_EQ(entriesStartingWith(QStringLiteral("EXEC SQL       | ") + script.statement().trimmed()).size(), 1);
}

} // namespace
