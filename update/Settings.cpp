#include "update/Settings.h"

#include "update/IniFile.h"

#include <QDir>

namespace update {

namespace {
const QString kSection = QStringLiteral("Params");
}

ConnectionSettings LoadSettings(const QString& programDir)
{
    const IniFile file = IniFile::load(QDir(programDir).filePath(kSettingsFileName));
    ConnectionSettings settings;
    settings.alias = file.value(kSection, QStringLiteral("Alias")).value_or(kDefaultAlias);
    settings.user = file.value(kSection, QStringLiteral("User")).value_or(kDefaultUser);
    settings.password = file.value(kSection, QStringLiteral("Password")).value_or(kBuiltInPassword);
    return settings;
}

QString LoadBackupSetting(const QString& programDir)
{
    return IniFile::load(QDir(programDir).filePath(kSettingsFileName))
        .value(kSection, QStringLiteral("Backup"))
        .value_or(QString());
}

QString SettingsNotice(const ConnectionSettings& settings)
{
    if (settings.alias == kDefaultAlias)
        return {};
    // Line feed before carriage return, as the operators have always seen it.
    const QString lineBreak = QStringLiteral("\n\r");
    return QStringLiteral("AliasName = ") + settings.alias + lineBreak + QStringLiteral("User name = ")
        + settings.user + lineBreak + QStringLiteral("Password = ")
        + (settings.password.isEmpty() ? QString() : QStringLiteral("*****"));
}

} // namespace update
