#include "ui/D08_Info.h"

#include "ui/Fonts.h"
#include "ui/FormLook.h"
#include "ui/widgets/GlowButton.h"

#include <QGuiApplication>
#include <QLabel>

#include <stdexcept>

namespace ui {

QStringList infoMessageLines(int kind)
{
    switch (kind) {
    case 1:
        return {QString::fromUtf8(R"(<P align="center">Před spuštěním aktualizace zkontrolujte,<br>)"),
                QString::fromUtf8(R"(zda máte <B><FONT color="#FF0000">uzavřeny všechny účty v POS</FONT></B> <br>)"),
                QString::fromUtf8(R"((na restauračních pokladnách)<br></P>)")};
    case 2:
        return {QString::fromUtf8(R"(<P align="center">Před spuštěním aktualizace zkontrolujte,<br>)"),
                QString::fromUtf8(R"(zda máte <B><FONT color="#FF0000">vypnutu aplikaci Kalmor</FONT></B> <br>)"),
                QString::fromUtf8(R"(na všech počítačích v počítačové síti.<br></P>)")};
    case 3:
        return {QString::fromUtf8(R"(<P align="center">Aktualizace byla dokončena.<br></P>)")};
    case 4:
        return {QString::fromUtf8(R"(<P align="center"><FONT color="#FF0000">Chyba při pokusu o připojení k serveru!</FONT><br>)"),
                QString::fromUtf8(R"(Restartujte počítač a spusťte aplikaci znovu!<br>)"),
                QString::fromUtf8(R"(Pokud chyba nastane znovu, spusťe aplikaci na jiném počítači!<br><br>)"),
                QString::fromUtf8(R"(Aplikace musí být spuštěna na počítači, <br>)"),
                QString::fromUtf8(R"(kde lze spustit aplikaci Kalmor!<br></P>)")};
    case 5:
        return {QString::fromUtf8(R"(<P align="center">Aktualizace skladových položek a rautů byla dokončena.<br></P>)")};
    default:
        throw std::out_of_range("info message kind " + std::to_string(kind) + " does not exist");
    }
}

TFormD08Info::TFormD08Info(QWidget* parent) : QDialog(parent)
{
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                   | Qt::MSWindowsFixedSizeDialogHint);
    applyFormLook(*this, 540, 227);

    DBHTMLabel1 = new QLabel(this);
    DBHTMLabel1->setObjectName(QStringLiteral("DBHTMLabel1"));
    DBHTMLabel1->setGeometry(8, 16, 514, 137);
    DBHTMLabel1->setFont(tahoma(19));
    DBHTMLabel1->setTextFormat(Qt::RichText);
    DBHTMLabel1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    DBHTMLabel1->setWordWrap(true);

    AdvGlowButton2 = new GlowButton(QStringLiteral("OK"), this);
    AdvGlowButton2->setObjectName(QStringLiteral("AdvGlowButton2"));
    AdvGlowButton2->setGeometry(180, 171, 174, 41);
    AdvGlowButton2->setFont(tahoma(13));
    AdvGlowButton2->setDefault(true);
    connect(AdvGlowButton2, &QPushButton::clicked, this, &QDialog::accept);

    centreOnScreen(*this, parent ? parent->screen() : QGuiApplication::primaryScreen());
}

void TFormD08Info::setMessage(int kind)
{
    const QString markup = infoMessageLines(kind).join(QString());
    DBHTMLabel1->clear();
    DBHTMLabel1->setFont(tahoma(19));
    narrowMarkupToFit(*DBHTMLabel1, markup, DBHTMLabel1->width() - 2);
    DBHTMLabel1->setText(markup);
}

void ShowInfo(int kind, QWidget* parent)
{
    TFormD08Info dialog(parent);
    dialog.setMessage(kind);
    dialog.exec();
}

} // namespace ui
