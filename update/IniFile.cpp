#include "update/IniFile.h"

#include <QStringList>

namespace update {

IniFile IniFile::fromText(const QString& text)
{
    IniFile file;
    file.text_ = text;
    return file;
}

std::optional<QString> IniFile::value(const QString& section, const QString& key) const
{
    bool inSection = false;
    bool sectionSeen = false;
    for (const QString& rawLine : text_.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (sectionSeen)
                return std::nullopt; // only the first section of that name is read
            const qsizetype close = line.indexOf(QLatin1Char(']'));
            const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            inSection = name.compare(section, Qt::CaseInsensitive) == 0;
            sectionSeen = inSection;
            continue;
        }
        if (!inSection)
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0 || line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) != 0)
            continue;
        QString found = line.mid(equals + 1).trimmed();
        // The Windows reader strips one matching pair of either kind of quotes.
        const bool quoted = found.size() >= 2 && found.front() == found.back()
            && (found.front() == QLatin1Char('"') || found.front() == QLatin1Char('\''));
        if (quoted)
            found = found.mid(1, found.size() - 2);
        return found;
    }
    return std::nullopt;
}

} // namespace update
