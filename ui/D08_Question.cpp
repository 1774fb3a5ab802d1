#include "ui/D08_Question.h"

#include "ui/Fonts.h"
#include "ui/widgets/GlowButton.h"
#include "update/safety/OtherAttachments.h"
#include "update/safety/RehearsalReport.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>

namespace ui {

namespace {

// More than this many would not fit the dialog.
constexpr int kListedAttachments = 3;
// The message label's width less its frame: a summary line wider than this would wrap.
constexpr int kSummaryWidth = 512;
// What the dialog grows by to show its details.
constexpr int kDetailsHeight = 200;

const QLocale& czech()
{
    static const QLocale locale(QLocale::Czech, QLocale::CzechRepublic);
    return locale;
}

QString seconds(qint64 milliseconds)
{
    return czech().toString(static_cast<double>(milliseconds) / 1000.0, 'f', 1) + QStringLiteral(" s");
}

QString megabytes(qint64 bytes)
{
    return bytes < 0 ? QString::fromUtf8("neznámá")
                     : czech().toString(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1) + QStringLiteral(" MB");
}

// A count with its noun in the Czech form for it: 1 chyba, 2 chyby, 5 chyb.
QString counted(int count, const char* one, const char* few, const char* many)
{
    const char* const noun = count == 1 ? one : count >= 2 && count <= 4 ? few : many;
    return QString::number(count) + QLatin1Char(' ') + QString::fromUtf8(noun);
}

// A summary line is cut to one line of the label; the whole of it is in the details.
QString fitted(const QString& prefix, const QString& text)
{
    const QFontMetrics metrics(tahoma(19));
    const QString cut = metrics.elidedText(text, Qt::ElideRight, kSummaryWidth - metrics.horizontalAdvance(prefix));
    return (prefix + cut).toHtmlEscaped() + QStringLiteral("<br>");
}

// What the check of the copy found left of the update's own steps, or why it could not tell.
QStringList leftNames(const update::RehearsalReport& report)
{
    if (!report.made())
        return {};
    if (!report.check)
        return {QString::fromUtf8("kontrola kopie neproběhla")};
    QStringList left;
    if (!report.check->connectError.isEmpty())
        left.append(QString::fromUtf8("kontrola kopie se nepřipojila"));
    for (const update::ReadinessItem& item : report.check->items)
        if (item.counted && (item.left || !item.count))
            left.append(item.what);
    return left;
}

QStringList checkLines(const update::RehearsalReport& report)
{
    if (!report.check)
        return {QString::fromUtf8("Kontrola kopie po aktualizaci neproběhla.")};
    QStringList lines = {QString::fromUtf8("Kontrola kopie po aktualizaci:")};
    if (!report.check->connectError.isEmpty())
        lines.append(QString::fromUtf8("  Připojení se nezdařilo: ") + report.check->connectError);
    for (const update::ReadinessItem& item : report.check->items) {
        const QString state = !item.count ? QString::fromUtf8("chyba: ") + item.error
            : !item.left            ? QString::fromUtf8("v pořádku")
            : item.counted          ? QString::fromUtf8("zbývá")
                                    : QString::fromUtf8("pozor (nepočítá se)");
        lines.append(QString::fromUtf8("  %1: %2, má být %3 – %4")
                         .arg(item.what, item.count ? QString::number(*item.count) : QStringLiteral("?"), item.expected,
                              state));
    }
    return lines;
}

} // namespace

QStringList otherAttachmentsQuestion(const update::OtherAttachments& others)
{
    QStringList lines;
    if (others.attachments.isEmpty())
        lines.append(QString::fromUtf8(R"(<P align="center"><FONT color="#FF0000">Nelze zjistit, kdo další je připojen k databázi.</FONT><br>)"));
    else
        lines.append(QString::fromUtf8(R"(<P align="center"><FONT color="#FF0000">K databázi jsou připojeni další uživatelé: %1</FONT><br>)")
                         .arg(others.attachments.size()));
    for (qsizetype index = 0; index < others.attachments.size() && index < kListedAttachments; ++index)
        lines.append(others.attachments.at(index).toHtmlEscaped() + QStringLiteral("<br>"));
    if (others.attachments.size() > kListedAttachments)
        lines.append(QString::fromUtf8("a další (%1)<br>").arg(others.attachments.size() - kListedAttachments));
    if (others.onlyOwnVisible)
        lines.append(QString::fromUtf8("Uživatel %1 vidí jen svá připojení.<br>").arg(others.user.toHtmlEscaped()));
    lines.append(QString::fromUtf8("Pokračovat v aktualizaci?<br></P>"));
    return lines;
}

Question rehearsalQuestion(const update::RehearsalReport& report)
{
    const bool problems = report.hasProblems();
    const QString outcome = !report.made() ? QString::fromUtf8("nebyla provedena")
        : report.failedStatements() == 0
        ? QString::fromUtf8("bez chyb, %1").arg(counted(report.statements(), "příkaz", "příkazy", "příkazů"))
        : QString::fromUtf8("%1 z %2")
              .arg(counted(report.failedStatements(), "chyba", "chyby", "chyb"),
                   counted(report.statements(), "příkazu", "příkazů", "příkazů"));
    QStringList lines = {QString::fromUtf8(R"(<P align="center"><FONT color="%1">Zkouška na kopii databáze: %2</FONT><br>)")
                             .arg(problems ? QStringLiteral("#FF0000") : QStringLiteral("#008000"), outcome)};
    if (!report.made()) {
        lines.append(fitted(QString(), report.notMade));
    } else {
        if (!report.firstFailure().isEmpty())
            lines.append(fitted(QString::fromUtf8("První chyba: "), report.firstFailure()));
        const QStringList left = leftNames(report);
        if (!left.isEmpty())
            lines.append(fitted(QString::fromUtf8("Zbývá: "), left.join(QStringLiteral(", "))));
        lines.append(QString::fromUtf8("Trvala %1, skutečný běh odhadem %2 (záloha %3, aktualizace %4)<br>")
                         .arg(seconds(report.totalMilliseconds),
                              seconds(report.backupMilliseconds + report.updateMilliseconds),
                              seconds(report.backupMilliseconds), seconds(report.updateMilliseconds)));
    }
    lines.append(QString::fromUtf8("Pokračovat v aktualizaci?<br></P>"));
    // Past problems the real run goes on only when the operator says so.
    return {lines, rehearsalDetails(report), !problems, !problems};
}

QString rehearsalDetails(const update::RehearsalReport& report)
{
    static constexpr char kOptions[] = "abcd";
    QStringList lines = {QString::fromUtf8("Zkouška aktualizace na kopii databáze (volba %1)")
                             .arg(QLatin1Char(kOptions[report.option >= 0 && report.option < 4 ? report.option : 0]))};
    lines.append(QString::fromUtf8("Záloha: %1 (%2)").arg(report.backupFile, seconds(report.backupMilliseconds)));
    if (report.backupProved())
        lines.append(QString::fromUtf8("Záloha byla celá obnovena, lze z ní databázi obnovit."));
    if (!report.scratchDatabase.isEmpty())
        lines.append(QString::fromUtf8("Kopie: %1 (obnova %2)").arg(report.scratchDatabase, seconds(report.restoreMilliseconds)));
    if (!report.made()) {
        lines.append(QString::fromUtf8("Zkouška nebyla provedena: ") + report.notMade);
    } else {
        lines.append(QString::fromUtf8("Velikost kopie: před aktualizací %1, po ní %2")
                         .arg(megabytes(report.sizeBefore), megabytes(report.sizeAfter)));
        for (const update::RehearsedStep& step : report.steps)
            lines.append(QString::fromUtf8("Krok %1: %2, %3, %4")
                             .arg(step.step)
                             .arg(seconds(step.milliseconds), counted(step.statements, "příkaz", "příkazy", "příkazů"),
                                  step.failed == 0 ? QString::fromUtf8("bez chyb")
                                                   : counted(step.failed, "chyba", "chyby", "chyb")
                                          + QString::fromUtf8(", první: ") + step.firstFailure));
        lines.append(checkLines(report));
        lines.append(QString::fromUtf8("Celkem: %1, %2, zbývá %3")
                         .arg(counted(report.statements(), "příkaz", "příkazy", "příkazů"),
                              counted(report.failedStatements(), "chyba", "chyby", "chyb"))
                         .arg(leftNames(report).size()));
        lines.append(QString::fromUtf8("Čas: záloha %1 + obnova %2 + aktualizace %3 = %4")
                         .arg(seconds(report.backupMilliseconds), seconds(report.restoreMilliseconds),
                              seconds(report.updateMilliseconds), seconds(report.totalMilliseconds)));
        lines.append(QString::fromUtf8("Odhad skutečného běhu (záloha a aktualizace): %1")
                         .arg(seconds(report.backupMilliseconds + report.updateMilliseconds)));
    }
    if (report.made())
        lines.append(QString::fromUtf8("Skutečný běh se může lišit: kopie patří uživateli, který ji obnovil (na skutečné "
                                       "databázi mu mohou chybět práva), ke kopii není připojen žádný program hotelu "
                                       "a čerstvě obnovená kopie nemá staré verze záznamů, takže skutečný běh může "
                                       "trvat déle než odhad."));
    if (!report.dropFailure.isEmpty())
        lines.append(QString::fromUtf8("Kopii nelze odstranit, soubor zůstal na serveru: ") + report.dropFailure);
    return lines.join(QLatin1Char('\n'));
}

TFormD08Question::TFormD08Question(const Question& question, QWidget* parent) : TFormD08Info(parent)
{
    const QString markup = question.lines.join(QString());
    DBHTMLabel1->setFont(tahoma(19));
    narrowMarkupToFit(*DBHTMLabel1, markup, DBHTMLabel1->width() - 2);
    DBHTMLabel1->setText(markup);
    AdvGlowButton2->setText(QString::fromUtf8("Pokračovat"));
    AdvGlowButton2->setGeometry(86, 171, 174, 41);
    AdvGlowButton3 = new GlowButton(QString::fromUtf8("Zrušit"), this);
    AdvGlowButton3->setObjectName(QStringLiteral("AdvGlowButton3"));
    AdvGlowButton3->setGeometry(280, 171, 174, 41);
    AdvGlowButton3->setFont(AdvGlowButton2->font());
    connect(AdvGlowButton3, &QPushButton::clicked, this, &QDialog::reject);
    if (!question.details.isEmpty()) {
        // Three buttons share the row the two had.
        AdvGlowButton2->setGeometry(12, 171, 164, 41);
        AdvGlowButton3->setGeometry(188, 171, 164, 41);
        AdvGlowButton4 = new GlowButton(QString::fromUtf8("Podrobnosti"), this);
        AdvGlowButton4->setObjectName(QStringLiteral("AdvGlowButton4"));
        AdvGlowButton4->setGeometry(364, 171, 164, 41);
        AdvGlowButton4->setFont(AdvGlowButton2->font());
        AdvGlowButton4->setAutoDefault(false);
        connect(AdvGlowButton4, &QPushButton::clicked, this, &TFormD08Question::toggleDetails);
        Memo1 = new QPlainTextEdit(question.details, this);
        Memo1->setObjectName(QStringLiteral("Memo1"));
        Memo1->setReadOnly(true);
        Memo1->setFont(tahoma(13));
        Memo1->setGeometry(8, height(), width() - 16, kDetailsHeight - 8);
        Memo1->hide();
    }
    // Enter gives the focused answer: the safe one unless the question says going on is; Escape
    // always cancels.
    GlowButton* const focused = question.goOnIsFocused ? AdvGlowButton2 : AdvGlowButton3;
    AdvGlowButton2->setDefault(false);
    focused->setDefault(true);
    focused->setFocus();
}

void TFormD08Question::toggleDetails()
{
    const bool show = Memo1->isHidden();
    Memo1->setVisible(show);
    setFixedSize(width(), height() + (show ? kDetailsHeight : -kDetailsHeight));
}

bool askToContinue(const Question& question, QWidget* parent)
{
    TFormD08Question dialog(question, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace ui
