#include "QtPrinters.h"

#include "ui/D08_Info.h"
#include "ui/widgets/GlowButton.h"

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct Rendered {
    QStringList lines;       // the visible lines, as the line breaks cut them
    QStringList redBold;     // fragments drawn red and bold
    QStringList redPlain;    // fragments drawn red, not bold
    bool allCentred = true;
};

// Lays the label's markup out with the same engine a rich-text label uses.
Rendered render(const QLabel& label)
{
    QTextDocument document;
    document.setDefaultFont(label.font());
    document.setHtml(label.text());
    Rendered result;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        if (block.text().isEmpty())
            continue;
        result.allCentred &= (block.blockFormat().alignment() & Qt::AlignHCenter) != 0;
        for (const QString& line : block.text().split(QChar::LineSeparator))
            result.lines.append(line.trimmed());
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextCharFormat format = fragment.fragment().charFormat();
            if (format.foreground().color() != QColor(0xFF0000))
                continue;
            const QString text = fragment.fragment().text().trimmed();
            (format.fontWeight() >= QFont::Bold ? result.redBold : result.redPlain).append(text);
        }
    }
    while (!result.lines.isEmpty() && result.lines.last().isEmpty())
        result.lines.removeLast();
    return result;
}

struct Expected {
    int kind;
    QStringList lines;
    QStringList redBold;
    QStringList redPlain;
};

const std::vector<Expected> kMessages = {
    {1,
     {QStringLiteral("Před spuštěním aktualizace zkontrolujte,"), QStringLiteral("zda máte uzavřeny všechny účty v POS"),
      QStringLiteral("(na restauračních pokladnách)")},
     {QStringLiteral("uzavřeny všechny účty v POS")},
     {}},
    {2,
     {QStringLiteral("Před spuštěním aktualizace zkontrolujte,"), QStringLiteral("zda máte vypnutu aplikaci Kalmor"),
      QStringLiteral("na všech počítačích v počítačové síti.")},
     {QStringLiteral("vypnutu aplikaci Kalmor")},
     {}},
    {3, {QStringLiteral("Aktualizace byla dokončena.")}, {}, {}},
    {4,
     {QStringLiteral("Chyba při pokusu o připojení k serveru!"), QStringLiteral("Restartujte počítač a spusťte aplikaci znovu!"),
      QStringLiteral("Pokud chyba nastane znovu, spusťe aplikaci na jiném počítači!"), QString(),
      QStringLiteral("Aplikace musí být spuštěna na počítači,"), QStringLiteral("kde lze spustit aplikaci Kalmor!")},
     {},
     {QStringLiteral("Chyba při pokusu o připojení k serveru!")}},
    {5, {QStringLiteral("Aktualizace skladových položek a rautů byla dokončena.")}, {}, {}},
};

TEST(InfoMessages, EachKindRendersItsCentredLinesWithItsRedParts)
{
    for (const Expected& expected : kMessages) {
        ui::TFormD08Info dialog;
        dialog.setMessage(expected.kind);
        EXPECT_EQ(dialog.DBHTMLabel1->textFormat(), Qt::RichText);
        const Rendered rendered = render(*dialog.DBHTMLabel1);
        EXPECT_EQ(rendered.lines, expected.lines) << "kind " << expected.kind;
        EXPECT_EQ(rendered.redBold, expected.redBold) << "kind " << expected.kind;
        EXPECT_EQ(rendered.redPlain, expected.redPlain) << "kind " << expected.kind;
        EXPECT_TRUE(rendered.allCentred) << "kind " << expected.kind;
    }
}

TEST(InfoMessages, MarkupIsCarriedVerbatim)
{
    const QStringList lines = ui::infoMessageLines(4);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines.at(0), QStringLiteral(R"(<P align="center"><FONT color="#FF0000">Chyba při pokusu o připojení k serveru!</FONT><br>)"));
    EXPECT_EQ(lines.at(2), QStringLiteral("Pokud chyba nastane znovu, spusťe aplikaci na jiném počítači!<br><br>"));
    EXPECT_EQ(ui::infoMessageLines(1).at(1),
              QStringLiteral(R"(zda máte <B><FONT color="#FF0000">uzavřeny všechny účty v POS</FONT></B> <br>)"));
}

// The bottom of the lowest line that shows any text; a closing line break only adds an empty line.
qreal bottomOfVisibleText(QTextDocument& document)
{
    document.size();
    qreal bottom = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextLayout* layout = block.layout();
        for (int index = 0; index < layout->lineCount(); ++index) {
            const QTextLine line = layout->lineAt(index);
            QString part = block.text().mid(line.textStart(), line.textLength());
            part.remove(QChar::LineSeparator);
            if (!part.trimmed().isEmpty())
                bottom = std::max(bottom, layout->position().y() + line.y() + line.height());
        }
    }
    return bottom;
}

TEST(InfoMessages, EveryMessageFitsTheLabelUnclipped)
{
    for (int kind = 1; kind <= 5; ++kind) {
        ui::TFormD08Info dialog;
        dialog.setMessage(kind);
        QTextDocument document;
        document.setDefaultFont(dialog.DBHTMLabel1->font());
        document.setDocumentMargin(0);
        document.setHtml(dialog.DBHTMLabel1->text());
        EXPECT_LE(document.idealWidth(), dialog.DBHTMLabel1->width()) << "kind " << kind;
        document.setTextWidth(dialog.DBHTMLabel1->width());
        // The lowest pixel row of a line box is below every glyph, so it may fall outside.
        EXPECT_LE(bottomOfVisibleText(document), dialog.DBHTMLabel1->height() + 1) << "kind " << kind;
        EXPECT_EQ(dialog.DBHTMLabel1->font().pixelSize(), 19);
    }
}

TEST(InfoMessages, UnknownKindIsRefused)
{
    EXPECT_THROW(ui::infoMessageLines(0), std::out_of_range);
    EXPECT_THROW(ui::infoMessageLines(6), std::out_of_range);
    ui::TFormD08Info dialog;
    EXPECT_THROW(dialog.setMessage(7), std::out_of_range);
}

TEST(InfoDialog, HasItsFixedLayout)
{
    const ui::TFormD08Info dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Kalmor DPH 2012"));
    EXPECT_EQ(dialog.size(), QSize(540, 227));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_EQ(dialog.DBHTMLabel1->geometry(), QRect(8, 16, 514, 137));
    EXPECT_EQ(dialog.AdvGlowButton2->geometry(), QRect(180, 171, 174, 41));
    EXPECT_EQ(dialog.AdvGlowButton2->text(), QStringLiteral("OK"));
    EXPECT_EQ(dialog.AdvGlowButton2->font().pixelSize(), 13);
    EXPECT_EQ(dialog.font().pixelSize(), 11);
}

// What the operator found in front of them while ShowInfo waited.
struct SeenDialog {
    bool modal = false;
    QString markup;
};

// Answers the next modal dialog once the event loop runs, with the given key or by OK.
void answerNextDialog(SeenDialog& seen, int key = 0)
{
    QTimer::singleShot(0, [&seen, key] {
        auto* dialog = qobject_cast<ui::TFormD08Info*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        seen.modal = dialog->isModal();
        seen.markup = dialog->DBHTMLabel1->text();
        if (key != 0)
            QTest::keyClick(dialog, static_cast<Qt::Key>(key));
        else
            QTest::mouseClick(dialog->AdvGlowButton2, Qt::LeftButton);
    });
}

TEST(ShowInfo, ShowsTheKindModallyAndReturnsWhenOkIsPressed)
{
    SeenDialog seen;
    answerNextDialog(seen);
    ui::ShowInfo(4);
    EXPECT_TRUE(seen.modal);
    EXPECT_EQ(seen.markup, ui::infoMessageLines(4).join(QString()));
    QApplication::processEvents();
    for (QWidget* widget : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<ui::TFormD08Info*>(widget), nullptr) << "the dialog outlived its call";
}

TEST(ShowInfo, EscapeClosesTheDialogToo)
{
    SeenDialog seen;
    answerNextDialog(seen, Qt::Key_Escape);
    ui::ShowInfo(3);
    EXPECT_EQ(seen.markup, ui::infoMessageLines(3).join(QString()));
}

TEST(ShowInfo, EachCallHasADialogOfItsOwn)
{
    SeenDialog first;
    SeenDialog second;
    answerNextDialog(first);
    ui::ShowInfo(1);
    answerNextDialog(second);
    ui::ShowInfo(2);
    EXPECT_EQ(first.markup, ui::infoMessageLines(1).join(QString()));
    EXPECT_EQ(second.markup, ui::infoMessageLines(2).join(QString()));
}

} // namespace
