#include "update/VisibleText.h"

namespace update {

QString visibleText(const QString& foreign)
{
    QString shown = foreign;
    for (QChar& character : shown) {
        const QChar::Category category = character.category();
        if (category == QChar::Other_Control || category == QChar::Separator_Line || category == QChar::Separator_Paragraph)
            character = QLatin1Char('?');
    }
    return shown;
}

} // namespace update
