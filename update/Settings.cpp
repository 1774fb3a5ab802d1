#include "update/Settings.h"

#include "db/Connection.h"
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

Settings LoadSettings(const QString& programDir)
{
    const QString path = QDir(programDir).filePath(kSettingsFileName);
    const IniFile file = readSettingsFile(path);
    Settings settings;
    ConnectionSettings& connection = settings.connection;
    connection.alias = file.value(kSection, QStringLiteral("Alias")).value_or(kDefaultAlias);
    connection.user = file.value(kSection, QStringLiteral("User")).value_or(kDefaultUser);
    connection.password = file.value(kSection, QStringLiteral("Password")).value_or(kBuiltInPassword);
    bool whole = false;
    const unsigned timeout = file.value(kSection, QStringLiteral("ConnectTimeout")).value_or(QString()).toUInt(&whole);
    if (whole)
        connection.connectTimeout = timeout;
    settings.backupFile = file.value(kSection, QStringLiteral("Backup")).value_or(QString());
    bool number = false;
    const int rehearsal = file.value(kSection, QStringLiteral("Rehearsal")).value_or(QString()).trimmed().toInt(&number);
    settings.rehearsal = number && rehearsal != 0;
    return settings;
}

void applyTo(db::Connection& connection, const ConnectionSettings& settings)
{
    connection.setDatabase(settings.alias.toStdString());
    connection.setUser(settings.user.toStdString());
    connection.setPassword(settings.password.toStdString());
    connection.setConnectTimeout(settings.connectTimeout);
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
