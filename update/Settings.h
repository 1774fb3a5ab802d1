#pragma once

#include <QString>

namespace update {

inline const QString kDefaultAlias = QStringLiteral("QVT");
inline const QString kDefaultUser = QStringLiteral("SYSDBA");
// The one-character password of the database user on the installations served.
inline const QString kBuiltInPassword = QStringLiteral("m");
inline const QString kSettingsFileName = QStringLiteral("DPH.ini");

struct ConnectionSettings {
    QString alias = kDefaultAlias;
    QString user = kDefaultUser;
    QString password = kBuiltInPassword;
};

// Reads section Params of DPH.ini in programDir; a missing or unreadable file, section or key
// gives that key's default, a key present with an empty value gives an empty setting.
ConnectionSettings LoadSettings(const QString& programDir);

// The Backup key of section Params: where the full update backs the database up first, as the
// database server sees the path; empty (or missing) for no backup.
QString LoadBackupSetting(const QString& programDir);

// The operator's notice for a non-default alias (compared case-sensitively), with the password
// masked by a fixed "*****" that hides its length too; an empty text when the alias is the default one.
QString SettingsNotice(const ConnectionSettings& settings);

} // namespace update
