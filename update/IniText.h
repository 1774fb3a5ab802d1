#pragma once

#include <QByteArray>
#include <QString>

namespace update {

// Decodes a settings file: UTF-8 with or without BOM, UTF-16 with BOM, otherwise Windows-1250.
QString decodeIniText(const QByteArray& bytes);

} // namespace update
