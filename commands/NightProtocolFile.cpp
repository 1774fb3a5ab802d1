#include "commands/NightProtocolFile.h"

#include "commands/ProtocolDocument.h"
#include "db/ServiceBackup.h"
#include "update/GroupFigures.h"
#include "update/NightProtocol.h"
#include "update/UpdateSession.h"
#include "update/UpdateView.h"
#include "update/VisibleText.h"
#include "update/safety/BackupRecord.h"
#include "update/safety/OwnFile.h"

#include <QDir>
#include <QLocale>

#include <pwd.h>
#include <unistd.h>

#include <map>

namespace update {

namespace {

const QString kFailedPrefix = QStringLiteral("PROTOKOL CHYBA").leftJustified(15) + QStringLiteral("| ");

QString stepTitle(int step)
{
    static const std::map<int, QString> titles = {
        {0, QString::fromUtf8("Sklad a bankety")},
        {1, QString::fromUtf8("Krok 1: pokladna")},
        {2, QString::fromUtf8("Krok 2: stravování")},
        {3, QString::fromUtf8("Krok 3: služby recepce")},
        {4, QString::fromUtf8("Krok 4: nastavení systému")},
        {5, QString::fromUtf8("Krok 5: řádky rezervací od 1.1.2012")},
        {6, QString::fromUtf8("Krok 6: serverové objekty")},
        {7, QString::fromUtf8("Krok 7: hosté ubytovaní přes přelom roku")},
        {8, QString::fromUtf8("Krok 8: zálohy mezi roky")},
    };
    const auto found = titles.find(step);
    return found == titles.end() ? QString::fromUtf8("Krok %1").arg(step) : found->second;
}

QString optionText(int option)
{
    switch (option) {
    case 0: return QString::fromUtf8("a – hosty ponechat");
    case 1: return QString::fromUtf8("b – pobyty rozdělit k 31.12.2011");
    case 2: return QString::fromUtf8("c – rozdělit, ubytování do 31.12.2011 namarkovat a účet uzavřít");
    case 3: return QString::fromUtf8("d – celé ubytování namarkovat a účet uzavřít");
    default: return QString::fromUtf8("nezvolena");
    }
}

// "update pos_taxes set ..." -> "update pos_taxes"; a procedure's text -> its first line.
QString statementSubject(const QString& statement)
{
    QString first = statement.section(QLatin1Char('\n'), 0, 0).simplified();
    for (const QString& cut : {QStringLiteral(" set "), QStringLiteral(" values "), QStringLiteral(" where "),
                               QStringLiteral(" select ")}) {
        const qsizetype at = first.indexOf(cut, 0, Qt::CaseInsensitive);
        if (at > 0)
            first = first.left(at);
    }
    return visibleText(first.left(90));
}

QString bytesText(qint64 bytes)
{
    return QLocale(QLocale::Czech).toString(bytes) + QStringLiteral(" B");
}

QString systemUser()
{
    const passwd* entry = ::getpwuid(::geteuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(::geteuid());
}

QString databaseFile(UpdateSession& session)
{
    try {
        return QString::fromStdString(
            session.Database1.selectFirst("select trim(MON$DATABASE_NAME) from MON$DATABASE").text(0));
    } catch (const std::exception&) {
        return QStringLiteral("?");
    }
}

ProtocolSection firstPage(UpdateSession& session, const NightProtocol& record, const ReadinessReport* check,
                          const QString& rehearsalCopy)
{
    const ConnectionSettings settings = session.settings();
    const db::ServiceTarget target = db::serviceTargetOf(settings.alias.toStdString());
    ProtocolSection section;
    section.facts = {
        {QString::fromUtf8("Příkaz"), record.command()},
        {QString::fromUtf8("Databáze hotelu (alias)"), settings.alias},
        {QString::fromUtf8("Server"), target.host.empty() ? QString::fromUtf8("vestavěný stroj na tomto počítači")
                                                          : QString::fromStdString(target.host)},
        {QString::fromUtf8("Soubor databáze"), databaseFile(session)},
        {QString::fromUtf8("Začátek"), record.started().toString(QStringLiteral("d.M.yyyy H:mm:ss"))},
        {QString::fromUtf8("Konec"), QDateTime::currentDateTime().toString(QStringLiteral("d.M.yyyy H:mm:ss"))},
        {QString::fromUtf8("Program"), QStringLiteral("dph2012 ") + QStringLiteral(DPH2012_VERSION)},
        {QString::fromUtf8("Uživatel"), QString::fromUtf8("%1 (databáze), %2 (systém)").arg(settings.user, systemUser())},
        {QString::fromUtf8("Volba pro ubytované hosty"), optionText(record.option())},
    };
    if (!rehearsalCopy.isEmpty())
        section.facts.emplace_back(QString::fromUtf8("Zkouška na kopii"), rehearsalCopy);
    const std::vector<RecordedBackup> backups = BackupRecord(session.programDir()).of(settings.alias);
    if (backups.empty()) {
        section.facts.emplace_back(QString::fromUtf8("Záloha"), QString::fromUtf8("program žádnou zálohu nezaznamenal"));
    } else {
        const RecordedBackup& backup = backups.back();
        section.facts.emplace_back(QString::fromUtf8("Záloha"), backup.file);
        section.facts.emplace_back(QString::fromUtf8("Velikost zálohy"), bytesText(backup.bytes));
        section.facts.emplace_back(kChecksumLabel,
                                   backup.sha256.isEmpty() ? QString::fromUtf8("neznámý (soubor je na serveru)") : backup.sha256);
        section.facts.emplace_back(QString::fromUtf8("Ověřena obnovou"), backup.proved ? QString::fromUtf8("ano")
                                                                                      : QString::fromUtf8("ne"));
    }
    const auto failed = static_cast<qsizetype>(record.failures().size());
    QString verdict;
    if (!check)
        verdict = QString::fromUtf8("kontrola po běhu neproběhla (program byl zastaven)");
    else if (!check->connectError.isEmpty())
        verdict = QString::fromUtf8("kontrola po běhu se nepřipojila: ") + visibleText(check->connectError);
    else if (check->exitStatus() == 0)
        verdict = QString::fromUtf8("kontrola po běhu: z kroků 1 až 6 nic nezůstalo na sazbě 10 %");
    else
        verdict = QString::fromUtf8("kontrola po běhu: na sazbě 10 % zůstává to, co vypisuje oddíl Kontrola");
    section.facts.emplace_back(QString::fromUtf8("Výsledek"), verdict);
    section.facts.emplace_back(QString::fromUtf8("Chybné příkazy"), QString::number(failed));
    return section;
}

// `unread`: why the stay groups' figures could not be read, if they could not.
ProtocolDocument document(UpdateSession& session, const NightProtocol& record, const ReadinessReport* check,
                          const QString& rehearsalCopy, const QString& unread)
{
    ProtocolDocument protocol;
    protocol.title = QString::fromUtf8("Protokol změny sazby DPH 10 % → 14 % k 1.1.2012");
    if (!rehearsalCopy.isEmpty())
        protocol.mark = QString::fromUtf8("ZKOUŠKA NA KOPII – data hotelu se nezměnila");
    protocol.sections.push_back(firstPage(session, record, check, rehearsalCopy));

    ProtocolSection changes;
    changes.heading = QString::fromUtf8("Změny v datech hotelu po krocích");
    changes.columns = {QString::fromUtf8("Krok"), QString::fromUtf8("Příkaz"), QString::fromUtf8("Změněno řádků")};
    changes.widths = {32, 53, 15};
    qint64 groupStatements = 0;
    for (const ProtocolChange& change : record.changes()) {
        // Step 7's work is told group by group below.
        if (change.step == 7) {
            ++groupStatements;
            continue;
        }
        const QString subject = statementSubject(change.statement);
        changes.rows.push_back({stepTitle(change.step), subject,
                                subject.startsWith(QLatin1String("create"), Qt::CaseInsensitive)
                                    ? QString::fromUtf8("nainstalováno")
                                    : QString::number(change.rows)});
    }
    if (groupStatements > 0)
        changes.rows.push_back({stepTitle(7), QString::fromUtf8("zpracováno skupin (viz níže)"),
                                QString::number(record.groups().size())});
    if (changes.rows.empty())
        changes.notes.append(QString::fromUtf8("Žádný příkaz data nezměnil."));
    protocol.sections.push_back(changes);

    if (record.option() > 0) {
        ProtocolSection groups;
        groups.heading = QString::fromUtf8("Krok 7: skupiny ubytovaných hostů");
        groups.columns = {QString::fromUtf8("Skupina"), QString::fromUtf8("Rezervace"), QString::fromUtf8("Účty hosta"),
                          QString::fromUtf8("Noci 2011"), QString::fromUtf8("Noci 2012"), QString::fromUtf8("Na účtech 10 %"),
                          QString::fromUtf8("Na účtech 14 %"), QString::fromUtf8("Stav")};
        groups.widths = {9, 12, 13, 8, 8, 11, 11, 28};
        for (const ProtocolGroup& group : record.groups())
            groups.rows.push_back({QString::number(group.group), group.reservations, group.accounts,
                                   QString::number(group.nights2011), QString::number(group.nights2012), group.charged10,
                                   group.charged14, group.state});
        if (groups.rows.empty())
            groups.notes.append(QString::fromUtf8("Žádná skupina nebyla zpracována."));
        if (!unread.isEmpty())
            groups.notes.append(QString::fromUtf8("Údaje skupin z databáze nelze přečíst: ") + unread);
        protocol.sections.push_back(groups);
    }

    if (check && check->connectError.isEmpty()) {
        ProtocolSection left;
        left.heading = QString::fromUtf8("Kontrola po běhu");
        left.columns = {QString::fromUtf8("Položka"), QString::fromUtf8("Na staré sazbě"), QString::fromUtf8("Má být")};
        for (const ReadinessItem& item : check->items)
            left.rows.push_back({visibleText(item.what),
                                 item.count ? QString::number(*item.count) : QString::fromUtf8("chyba: ") + visibleText(item.error),
                                 visibleText(item.expected)});
        protocol.sections.push_back(left);
    }

    ProtocolSection failures;
    failures.heading = QString::fromUtf8("Chybné příkazy");
    if (record.failures().empty())
        failures.notes.append(QString::fromUtf8("Databáze žádný příkaz neodmítla."));
    else
        failures.columns = {QString::fromUtf8("Krok"), QString::fromUtf8("Příkaz"), QString::fromUtf8("Hlášení databáze")};
    for (const ProtocolFailure& failure : record.failures())
        failures.rows.push_back({stepTitle(failure.step), statementSubject(failure.statement), visibleText(failure.values)});
    protocol.sections.push_back(failures);

    protocol.signatures = {QString::fromUtf8("Provedl (operátor)"), QString::fromUtf8("Převzal (účetní)")};
    return protocol;
}

// "<dir>/QVTDPH2012-protokol-20120101-083000" with a counter when a protocol has that name.
QString freeBaseName(const QString& directory, const QDateTime& started)
{
    const QString stamped = QDir(directory).filePath(kProtocolFilePrefix + started.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QString base = stamped;
    for (int counter = 2; nameTakenHere(base + QStringLiteral(".pdf")) || nameTakenHere(base + QStringLiteral(".txt"));
         ++counter)
        base = stamped + QStringLiteral("-%1").arg(counter);
    return base;
}

} // namespace

bool runWithProtocol(UpdateSession& session, UpdateView& view, const std::function<bool()>& command)
{
    session.protocol().clear();
    bool ended = false;
    try {
        ended = command();
    } catch (...) {
        writeNightProtocol(session, view, session.protocol());
        throw;
    }
    writeNightProtocol(session, view, session.protocol());
    return ended;
}

void writeNightProtocol(UpdateSession& session, UpdateView& view, NightProtocol& record,
                        std::optional<ReadinessReport> check, const QString& rehearsalCopy, UpdateSession* copy)
{
    if (!session.writesProtocols() || !record.begun())
        return;
    QString unread;
    try {
        fillGroupFigures((copy ? copy : &session)->Database1, record.groups());
    } catch (const std::exception& error) {
        unread = visibleText(QString::fromLocal8Bit(error.what()));
    }
    // After a stop signal the operator wants the program ended, not a check of the whole database.
    if (!check && session.stopSignal() == 0) {
        try {
            const std::optional<int> option = record.option() >= 0 ? std::optional<int>(record.option()) : std::nullopt;
            check = CheckReadiness(session.Database1, [&session] { return session.stopSignal(); }, option);
        } catch (const Interrupted&) {
        }
    }
    const ProtocolDocument protocol = document(session, record, check ? &*check : nullptr, rehearsalCopy, unread);
    const QString base = freeBaseName(session.programDir(), record.started());
    QString failure = replaceOwnFile(base + QStringLiteral(".txt"), protocol.text().toUtf8());
    if (failure.isEmpty() && session.pdfMaker()) {
        const QByteArray pdf = session.pdfMaker()(protocol.toJson(), failure);
        if (failure.isEmpty())
            failure = pdf.startsWith("%PDF-") ? replaceOwnFile(base + QStringLiteral(".pdf"), pdf)
                                              : QString::fromUtf8("PDF se nevytvořilo");
    }
    // The protocol's name carries the command's start, as the run log's entries do.
    if (failure.isEmpty())
        return;
    session.log().WriteLog(kFailedPrefix + visibleText(failure));
    view.showCommandError(QString::fromUtf8("Protokol noci nelze zapsat (%1): %2").arg(base + QStringLiteral(".pdf"), failure));
}

} // namespace update
