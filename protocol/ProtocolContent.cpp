#include "protocol/ProtocolContent.h"

#include "db/ServiceBackup.h"
#include "update/Amount.h"
#include "update/NightProtocol.h"
#include "update/UpdateSession.h"
#include "update/VisibleText.h"
#include "update/safety/BackupRecord.h"

#include <QLocale>

#include <pwd.h>
#include <unistd.h>

#include <map>
#include <set>

namespace update {

namespace {

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
    case 2: return QString::fromUtf8("c – rozdělit, ubytování do 30.12.2011 (poslední noc) namarkovat a účet uzavřít");
    case 3: return QString::fromUtf8("d – celé ubytování namarkovat a účet uzavřít s DUZP 31.12.2011");
    default: return QString::fromUtf8("nezvolena");
    }
}

// What step 7 did with the groups under the option, for the changes' table.
QString step7Work(int option)
{
    switch (option) {
    case 1: return QString::fromUtf8("pobyty rozděleny k 31.12.2011, skupin (viz níže)");
    case 2: return QString::fromUtf8("rozděleno, namarkováno a uzavřeno, skupin (viz níže)");
    default: return QString::fromUtf8("celé ubytování namarkováno a účty uzavřeny, skupin (viz níže)");
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

QString timeText(const QDateTime& when)
{
    return when.toLocalTime().toString(QStringLiteral("d.M.yyyy H:mm:ss"));
}

QString systemUser()
{
    const passwd* entry = ::getpwuid(::geteuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(::geteuid());
}

QString databaseFile(UpdateSession& session)
{
    try {
        return visibleText(QString::fromStdString(
            session.Database1.selectFirst("select trim(MON$DATABASE_NAME) from MON$DATABASE").text(0)));
    } catch (const std::exception&) {
        return QStringLiteral("?");
    }
}

// The backup this command made, or that it made none and which one is the latest.
void backupFacts(ProtocolSection& section, UpdateSession& session, const NightProtocol& record)
{
    const std::vector<RecordedBackup> backups = BackupRecord(session.programDir()).of(session.settings().alias);
    const QString made = QString::fromUtf8("Záloha");
    if (backups.empty()) {
        section.facts.emplace_back(made, QString::fromUtf8("tento běh zálohu nevytvořil; program žádnou zálohu nezaznamenal"));
        return;
    }
    const RecordedBackup& backup = backups.back();
    // The record keeps whole seconds.
    if (backup.made.toSecsSinceEpoch() < record.started().toSecsSinceEpoch()) {
        section.facts.emplace_back(made, QString::fromUtf8("tento běh zálohu nevytvořil"));
        section.facts.emplace_back(QString::fromUtf8("Poslední záloha"),
                                   QString::fromUtf8("%1 (vytvořena %2)").arg(visibleText(backup.file), timeText(backup.made)));
        return;
    }
    section.facts.emplace_back(made, visibleText(backup.file));
    section.facts.emplace_back(QString::fromUtf8("Záloha vytvořena"), timeText(backup.made));
    section.facts.emplace_back(QString::fromUtf8("Velikost zálohy"), bytesText(backup.bytes));
    section.facts.emplace_back(kChecksumLabel,
                               backup.sha256.isEmpty() ? QString::fromUtf8("neznámý (soubor je na serveru)") : backup.sha256);
    section.facts.emplace_back(QString::fromUtf8("Ověřena obnovou"), backup.proved ? QString::fromUtf8("ano")
                                                                                  : QString::fromUtf8("ne"));
}

// "5 Rezervace od 1.1.2012 se sazbou 10 (1); ...": what the check counts as left, or why it failed.
QString leftItems(const ReadinessReport& check)
{
    QStringList left;
    for (const ReadinessItem& item : check.items) {
        if (!item.counted)
            continue;
        if (!item.count)
            left.append(visibleText(item.what) + QString::fromUtf8(" (nelze zjistit)"));
        else if (item.left)
            left.append(QStringLiteral("%1 (%2)").arg(visibleText(item.what)).arg(*item.count));
    }
    return left.join(QStringLiteral("; "));
}

ProtocolSection firstPage(UpdateSession& session, const NightProtocol& record, const ReadinessReport* check,
                          const QString& rehearsalCopy)
{
    const ConnectionSettings settings = session.settings();
    const db::ServiceTarget target = db::serviceTargetOf(settings.alias.toStdString());
    ProtocolSection section;
    section.facts = {
        {QString::fromUtf8("Příkaz"), record.command()},
        {QString::fromUtf8("Databáze hotelu (alias)"), visibleText(settings.alias)},
        {QString::fromUtf8("Server"), target.host.empty() ? QString::fromUtf8("vestavěný stroj na tomto počítači")
                                                          : visibleText(QString::fromStdString(target.host))},
        {QString::fromUtf8("Soubor databáze"), databaseFile(session)},
        {QString::fromUtf8("Začátek"), timeText(record.started())},
        {QString::fromUtf8("Konec"), timeText(QDateTime::currentDateTime())},
        {QString::fromUtf8("Program"), QStringLiteral("dph2012 ") + QStringLiteral(DPH2012_VERSION)},
        {QString::fromUtf8("Uživatel"),
         QString::fromUtf8("%1 (databáze), %2 (systém)").arg(visibleText(settings.user), visibleText(systemUser()))},
        {QString::fromUtf8("Volba pro ubytované hosty"), optionText(record.option())},
    };
    if (!rehearsalCopy.isEmpty())
        section.facts.emplace_back(QString::fromUtf8("Zkouška na kopii"), visibleText(rehearsalCopy));
    backupFacts(section, session, record);
    const auto failed = static_cast<qsizetype>(record.failures().size());
    QString verdict;
    if (!check)
        verdict = QString::fromUtf8("kontrola po běhu neproběhla (program byl zastaven)");
    else if (!check->connectError.isEmpty())
        verdict = QString::fromUtf8("kontrola po běhu se nepřipojila: ") + visibleText(check->connectError);
    else if (check->exitStatus() == 0)
        verdict = QString::fromUtf8("kontrola po běhu: z kroků 1 až 7 nic nezůstalo");
    else
        verdict = QString::fromUtf8("kontrola po běhu: zůstává ") + leftItems(*check);
    section.facts.emplace_back(QString::fromUtf8("Výsledek"), verdict);
    section.facts.emplace_back(QString::fromUtf8("Chybné příkazy"), QString::number(failed));
    return section;
}

ProtocolSection changesSection(const NightProtocol& record)
{
    ProtocolSection changes;
    changes.heading = QString::fromUtf8("Změny v datech hotelu po krocích");
    changes.columns = {QString::fromUtf8("Krok"), QString::fromUtf8("Příkaz"),
                       QString::fromUtf8("Přesunuto z 10 na 14 % (ceny řádků)"), QString::fromUtf8("Změněno řádků")};
    changes.widths = {27, 35, 25, 13};
    changes.rightAligned = {2, 3};
    for (const ProtocolChange& change : record.changes()) {
        // Step 7's work is told group by group below.
        if (change.step == 7)
            continue;
        const QString subject = statementSubject(change.statement);
        changes.rows.push_back({stepTitle(change.step), subject, change.worth,
                                subject.startsWith(QLatin1String("create"), Qt::CaseInsensitive)
                                    ? QString::fromUtf8("nainstalováno")
                                    : QString::number(change.rows)});
    }
    // Whatever the option posted or closed, step 7 has its row when it ran.
    if (record.option() > 0)
        changes.rows.push_back({stepTitle(7), step7Work(record.option()), QString(),
                                QString::number(record.groups().size())});
    if (changes.rows.empty())
        changes.notes.append(QString::fromUtf8("Žádný příkaz data nezměnil."));
    return changes;
}

ProtocolSection groupsSection(const NightProtocol& record, const QString& unread)
{
    ProtocolSection groups;
    groups.heading = QString::fromUtf8("Krok 7: skupiny ubytovaných hostů");
    groups.columns = {QString::fromUtf8("Skupina"), QString::fromUtf8("Rezervace"), QString::fromUtf8("Účty hosta"),
                      QString::fromUtf8("Noci do 30.12.2011"), QString::fromUtf8("Noci od 31.12.2011"),
                      QString::fromUtf8("Stav")};
    groups.widths = {9, 14, 17, 10, 10, 40};
    groups.rightAligned = {0, 3, 4};
    qint64 before = 0;
    qint64 from = 0;
    for (const ProtocolGroup& group : record.groups()) {
        groups.rows.push_back({QString::number(group.group), group.reservations, group.accounts,
                               QString::number(group.nightsBefore), QString::number(group.nightsFrom), group.state});
        before += group.nightsBefore;
        from += group.nightsFrom;
    }
    if (groups.rows.empty()) {
        groups.notes.append(QString::fromUtf8("Žádná skupina nebyla zpracována."));
    } else {
        groups.rows.push_back({QString::fromUtf8("Celkem"), QString(), QString(), QString::number(before),
                               QString::number(from), QString()});
        groups.totalRow = true;
    }
    groups.notes.append(QString::fromUtf8("Noci do 30.12.2011 jsou noci před dnem rozdělení (poslední začíná 30.12.); "
                                          "noci od 31.12.2011 začínají dnem rozdělení, noc 31.12./1.1. mezi nimi."));
    if (!unread.isEmpty())
        groups.notes.append(QString::fromUtf8("Údaje skupin z databáze nelze přečíst: ") + unread);
    return groups;
}

// What step 7 posted on the groups' accounts: items by rate, balances carried over, cash journal.
ProtocolSection postedSection(const NightProtocol& record)
{
    ProtocolSection posted;
    posted.heading = QString::fromUtf8("Krok 7: co noc zaúčtovala na účty hostů (Kč)");
    std::set<int> rates = {0, 10, 14, 20};
    for (const ProtocolGroup& group : record.groups())
        if (group.posted)
            for (const auto& [rate, cents] : group.posted->salesByRate)
                rates.insert(rate);
    posted.columns = {QString::fromUtf8("Skupina")};
    for (const int rate : rates)
        posted.columns.append(QString::fromUtf8("Zaúčtováno %1 %").arg(rate));
    posted.columns += {QString::fromUtf8("Zaúčtováno celkem"), QString::fromUtf8("Převody a přeúčtování záloh (položky)"),
                       QString::fromUtf8("Pokladní deník: uzavřené účty"), QString::fromUtf8("Pokladní deník: nové účty")};
    for (int column = 0; column < posted.columns.size(); ++column)
        posted.rightAligned.append(column);
    std::vector<qint64> totals(static_cast<std::size_t>(posted.columns.size()) - 1, 0);
    bool unknown = false;
    for (const ProtocolGroup& group : record.groups()) {
        if (!group.posted) {
            unknown = true;
            continue;
        }
        std::vector<qint64> figures;
        qint64 sales = 0;
        for (const int rate : rates) {
            const auto found = group.posted->salesByRate.find(rate);
            figures.push_back(found == group.posted->salesByRate.end() ? 0 : found->second);
            sales += figures.back();
        }
        figures.insert(figures.end(), {sales, group.posted->carriedOver, group.posted->journalClosed,
                                       group.posted->journalOpen});
        QStringList row = {QString::number(group.group)};
        for (std::size_t at = 0; at < figures.size(); ++at) {
            row.append(amountText(figures[at]));
            totals[at] += figures[at];
        }
        posted.rows.push_back(row);
    }
    if (!posted.rows.empty()) {
        QStringList total = {QString::fromUtf8("Celkem")};
        for (const qint64 cents : totals)
            total.append(amountText(cents));
        posted.rows.push_back(total);
        posted.totalRow = true;
    }
    posted.notes.append(QString::fromUtf8(
        "Zaúčtováno: položky, které krok 7 zapsal na účty klienta skupiny (ubytování, kurzové rozdíly), podle sazby "
        "DPH; jsou to tržby noci. Převody a přeúčtování záloh: položky „DPH 2011/2012“, kterými uzavření převedlo "
        "zůstatek (zálohu) na nový účet klienta a trigger přeúčtoval zálohy mezi sazbami; nejsou tržbou. Pokladní deník: řádky, které zapsalo uzavření, na uzavřených účtech (převod zůstatku) "
        "a na nových účtech (jeho protějšek); jejich součet je nula."));
    if (unknown)
        posted.notes.append(QString::fromUtf8("Co krok 7 zaúčtoval, nelze u některých skupin zjistit: databáze "
                                              "nesdělila stav účtů před krokem 7."));
    return posted;
}

ProtocolSection checkSection(const ReadinessReport& check)
{
    ProtocolSection left;
    left.heading = QString::fromUtf8("Kontrola po běhu");
    left.columns = {QString::fromUtf8("Položka"), QString::fromUtf8("Počet"), QString::fromUtf8("Má být")};
    left.widths = {70, 15, 15};
    left.rightAligned = {1, 2};
    for (const ReadinessItem& item : check.items)
        left.rows.push_back({visibleText(item.what),
                             item.count ? QString::number(*item.count) : QString::fromUtf8("chyba: ") + visibleText(item.error),
                             visibleText(item.expected)});
    return left;
}

// Every line the check names with money at stake, with its amount.
ProtocolSection moneySection(const ReadinessReport& check)
{
    ProtocolSection money;
    money.heading = QString::fromUtf8("Kontrola po běhu: peníze, které markování nezaúčtuje správně");
    money.columns = {QString::fromUtf8("Co"), QString::fromUtf8("Skupina"), QString::fromUtf8("Rezervace"),
                     QString::fromUtf8("Řádek"), QString::fromUtf8("Částka"), QString::fromUtf8("Měna")};
    money.widths = {40, 11, 12, 11, 16, 10};
    money.rightAligned = {1, 2, 3, 4};
    for (const ReadinessItem& item : check.items)
        for (const LineAtRisk& line : item.lines)
            money.rows.push_back({visibleText(item.what), QString::number(line.group), QString::number(line.reservation),
                                  QString::number(line.line), amountText(line.cents), visibleText(line.currency)});
    if (money.rows.empty()) {
        money.columns.clear();
        money.widths.clear();
        money.rightAligned.clear();
        money.notes.append(QString::fromUtf8("Kontrola nenašla řádek, který by markování nezaúčtovalo, zaúčtovalo "
                                             "zrušenému pobytu nebo zaúčtovalo dvakrát."));
    }
    return money;
}

ProtocolSection failuresSection(const NightProtocol& record)
{
    ProtocolSection failures;
    failures.heading = QString::fromUtf8("Chybné příkazy");
    if (record.failures().empty())
        failures.notes.append(QString::fromUtf8("Databáze žádný příkaz neodmítla."));
    else
        failures.columns = {QString::fromUtf8("Krok"), QString::fromUtf8("Příkaz"), QString::fromUtf8("Hlášení databáze")};
    for (const ProtocolFailure& failure : record.failures())
        failures.rows.push_back({stepTitle(failure.step), statementSubject(failure.statement), visibleText(failure.values)});
    return failures;
}

} // namespace

ProtocolDocument nightProtocolDocument(UpdateSession& session, const NightProtocol& record,
                                       const ReadinessReport* check, const QString& rehearsalCopy,
                                       const QString& unread)
{
    ProtocolDocument protocol;
    if (rehearsalCopy.isEmpty()) {
        protocol.title = QString::fromUtf8("Protokol změny sazby DPH 10 % → 14 % k 1.1.2012");
    } else {
        protocol.title = QString::fromUtf8("Protokol ZKOUŠKY změny sazby DPH 10 % → 14 % k 1.1.2012 (na kopii)");
        protocol.mark = QString::fromUtf8("ZKOUŠKA NA KOPII – data hotelu se nezměnila");
    }
    protocol.sections.push_back(firstPage(session, record, check, rehearsalCopy));
    protocol.sections.push_back(changesSection(record));
    if (record.option() > 0) {
        protocol.sections.push_back(groupsSection(record, unread));
        protocol.sections.push_back(postedSection(record));
    }
    if (check && check->connectError.isEmpty()) {
        protocol.sections.push_back(checkSection(*check));
        protocol.sections.push_back(moneySection(*check));
    }
    protocol.sections.push_back(failuresSection(record));
    protocol.signatures = {QString::fromUtf8("Provedl (operátor)"), QString::fromUtf8("Převzal (účetní)")};
    return protocol;
}

} // namespace update
