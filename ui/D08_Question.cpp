#include "ui/D08_Question.h"

#include "ui/Fonts.h"
#include "ui/widgets/GlowButton.h"
#include "update/safety/OtherAttachments.h"
#include "update/safety/RehearsalReport.h"

#include <QLabel>

namespace ui {

namespace {

// More than this many would not fit the dialog.
constexpr int kListedAttachments = 3;

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

QStringList rehearsalQuestion(const update::RehearsalReport& report)
{
    const QString colour = report.hasProblems() ? QStringLiteral("#FF0000") : QStringLiteral("#008000");
    QStringList lines = {QString::fromUtf8(R"(<P align="center"><FONT color="%1">Zkouška na kopii databáze: %2</FONT><br>)")
                             .arg(colour,
                                  report.made() ? QString::fromUtf8("%1 příkazů, %2 chyb, zbývá %3, %4 s")
                                                      .arg(report.statements())
                                                      .arg(report.failedStatements())
                                                      .arg(report.leftItems().size())
                                                      .arg(report.totalMilliseconds / 1000.0, 0, 'f', 1)
                                                : QString::fromUtf8("nebyla provedena"))};
    if (!report.made())
        lines.append(report.notMade.toHtmlEscaped() + QStringLiteral("<br>"));
    else if (!report.firstFailure().isEmpty())
        lines.append(QString::fromUtf8("První chyba: ") + report.firstFailure().toHtmlEscaped() + QStringLiteral("<br>"));
    lines.append(QString::fromUtf8("Pokračovat v aktualizaci?<br></P>"));
    return lines;
}

TFormD08Question::TFormD08Question(const QString& markup, QWidget* parent) : TFormD08Info(parent)
{
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
    // The safe answer is what a tired operator's Enter gives; Escape gives it too.
    AdvGlowButton2->setDefault(false);
    AdvGlowButton3->setDefault(true);
    AdvGlowButton3->setFocus();
}

bool askToContinue(const QString& markup, QWidget* parent)
{
    TFormD08Question dialog(markup, parent);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace ui
