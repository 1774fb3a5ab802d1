#pragma once

#include <QString>

#include <optional>

namespace update {

// An INI file read with the semantics of the Windows profile reader: "[section]" and
// "key=value" lines, names matched regardless of case, blanks around names and values ignored,
// the value taken whole (one matching pair of surrounding double or single quotes removed),
// ";" comments only at the start of a line, the first occurrence of a section and of a key counts.
class IniFile {
public:
    static IniFile fromText(const QString& text);

    std::optional<QString> value(const QString& section, const QString& key) const;

private:
    QString text_;
};

} // namespace update
