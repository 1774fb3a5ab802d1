#include "ui/D08_Question.h"

#include "ui/D08_Info.h"
#include "ui/Fonts.h"
#include "ui/widgets/GlowButton.h"
#include "update/OtherAttachments.h"

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

bool askToContinue(const QString& markup, QWidget* parent)
{
    TFormD08Info dialog(parent);
    dialog.DBHTMLabel1->setFont(tahoma(19));
    narrowMarkupToFit(*dialog.DBHTMLabel1, markup, dialog.DBHTMLabel1->width() - 2);
    dialog.DBHTMLabel1->setText(markup);
    dialog.AdvGlowButton2->setText(QString::fromUtf8("Pokračovat"));
    dialog.AdvGlowButton2->setGeometry(86, 171, 174, 41);
    auto* cancel = new GlowButton(QString::fromUtf8("Zrušit"), &dialog);
    cancel->setObjectName(QStringLiteral("AdvGlowButton3"));
    cancel->setGeometry(280, 171, 174, 41);
    cancel->setFont(dialog.AdvGlowButton2->font());
    QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace ui
