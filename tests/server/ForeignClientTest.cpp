// What another client of the hotel's database says about itself is input from outside: its
// process name reaches no log, terminal or report with a control character in it, and a run-log
// entry it plants is never acted on.

#include "ForeignClient.h"
#include "FreshDatabase.h"
#include "TestServer.h"

#include <QDir>
#include <QFile>

#include <filesystem>

#include <gtest/gtest.h>

namespace {

using namespace testsupport;

// The control characters of the text apart from its line ends (LF, or CR LF), each as its code:
// empty when there is none.
std::string controlsIn(const QByteArray& bytes)
{
    const QString text = QString::fromUtf8(bytes);
    std::string found;
    for (qsizetype at = 0; at < text.size(); ++at) {
        const QChar character = text.at(at);
        const bool lineEnd = character == QLatin1Char('\n')
            || (character == QLatin1Char('\r') && at + 1 < text.size() && text.at(at + 1) == QLatin1Char('\n'));
        if (character.category() == QChar::Other_Control && !lineEnd)
            found += " U+" + QString::number(character.unicode(), 16).toStdString();
    }
    return found;
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(ForeignClient, ItsProcessNameIsWrittenWithoutControlsAndTheEntriesItPlantsAreNeverActedOn)
{
    const FreshDatabase database(HotelData::Demo);
    // A database that the planted entries name as a copy left by a rehearsal.
    const std::filesystem::path archive = database.directory() / "archiv2011-zkouska.fdb";
    std::filesystem::copy_file(database.path(), archive);
    const std::string planted = "\n31.12.11 23:05:09 | ZKOUSKA        | ";
    const std::string name = "pokladna.exe" + planted + archive.string() + planted + server::address(archive.string())
        + "\n\x1b[2K\x1b[1A\r\tx\x7f\xc2\x9b" "2J";
    const server::ForeignClient client(server::address(database.path()), name, server::kPassword);

    InstalledProgram program;
    program.writeSettingsText(server::settingsFor(database.path()) + "Backup="
                              + QByteArray::fromStdString((database.directory() / "hotel.fbk").string()) + "\r\n");
    EXPECT_EQ(program.run({QStringLiteral("x")}), 0) << program.standardError().toStdString();
    EXPECT_TRUE(program.standardError().contains(QStringLiteral("pokladna.exe?31.12.11 23:05:09 | ZKOUSKA")))
        << "the name is shown, its controls replaced: " << program.standardError().toStdString();
    EXPECT_EQ(controlsIn(program.standardError().toUtf8()), "");
    EXPECT_EQ(program.logEntries().filter(QStringLiteral("ZKOUSKA")).size(), 1) << "one entry names the client";

    EXPECT_EQ(program.run({QStringLiteral("--check")}), 0);
    const QString check = program.standardOutput();
    EXPECT_TRUE(check.contains(QStringLiteral("Pripojeno dalsich: 1"))) << check.toStdString();
    EXPECT_FALSE(check.contains(QStringLiteral("Zbyla kopie"))) << check.toStdString();
    EXPECT_EQ(controlsIn(check.toUtf8()), "");

    EXPECT_EQ(program.run({QStringLiteral("--rehearse")}), 0) << program.standardError().toStdString();
    EXPECT_TRUE(std::filesystem::exists(archive)) << "a database that a client named is never dropped";
    EXPECT_TRUE(program.logEntries().filter(QStringLiteral("Odstranena kopie")).isEmpty());
    for (const QString& file : QDir(program.directory()).entryList({QStringLiteral("*.log")}))
        EXPECT_EQ(controlsIn(contentOf(QDir(program.directory()).filePath(file))), "") << file.toStdString();
}

} // namespace
