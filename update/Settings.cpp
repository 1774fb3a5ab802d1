#include "update/Settings.h"

#include "update/IniFile.h"
#include "update/IniText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace update {

namespace {
const QString kSection = QStringLiteral("Params");

IniFile readSettingsFile(const QString& path)
{
    const auto unreadable = [&path](const QString& why) {
        return SettingsUnreadable(QStringLiteral("the settings file %1 cannot be read: %2").arg(path, why).toStdString());
    };
    if (!QFileInfo::exists(path))
        return {};
    if (QFileInfo(path).isDir())
        throw unreadable(QStringLiteral("it is a directory"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw unreadable(file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw unreadable(file.errorString());
    return IniFile::fromText(decodeIniText(bytes));
}

} // namespace

ConnectionSettings LoadSettings(const QString& programDir)
{
    const QString path = QDir(programDir).filePath(kSettingsFileName);
    const IniFile file = readSettingsFile(path);
    ConnectionSettings settings;
    settings.alias = file.value(kSection, QStringLiteral("Alias")).value_or(kDefaultAlias);
    settings.user = file.value(kSection, QStringLiteral("User")).value_or(kDefaultUser);
    settings.password = file.value(kSection, QStringLiteral("Password")).value_or(kBuiltInPassword);
    bool whole = false;
    const unsigned timeout = file.value(kSection, QStringLiteral("ConnectTimeout")).value_or(QString()).toUInt(&whole);
    if (whole)
        settings.connectTimeout = timeout;
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
