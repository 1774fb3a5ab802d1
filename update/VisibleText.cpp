#include "update/VisibleText.h"

namespace update {

namespace {

// The marks and embeddings that turn the order in which a terminal or a viewer shows the text
// after them: they can make a line read otherwise than it is written.
bool isBidirectionalControl(QChar character)
{
    const char16_t code = character.unicode();
    return (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069) || code == 0x200E || code == 0x200F
        || code == 0x061C;
}

bool isControl(QChar character)
{
    const QChar::Category category = character.category();
    return category == QChar::Other_Control || category == QChar::Separator_Line
        || category == QChar::Separator_Paragraph || isBidirectionalControl(character);
}

} // namespace

QString visibleText(const QString& foreign)
{
    QString shown = foreign;
    for (QChar& character : shown)
        if (isControl(character))
            character = QLatin1Char('?');
    return shown;
}

QString visibleLines(const QString& text)
{
    QString shown = text;
    for (qsizetype index = 0; index < shown.size(); ++index) {
        const QChar character = shown.at(index);
        const bool lineEnd = character == QLatin1Char('\n')
            || (character == QLatin1Char('\r') && index + 1 < shown.size() && shown.at(index + 1) == QLatin1Char('\n'));
        if (isControl(character) && !lineEnd && character != QLatin1Char('\t'))
            shown[index] = QLatin1Char('?');
    }
    return shown;
}

void writeVisible(std::FILE* stream, const QString& text)
{
    std::fputs(visibleLines(text).toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

} // namespace update
