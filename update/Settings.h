#pragma once

#include <QString>

#include <stdexcept>

namespace db {
class Connection;
}

namespace update {

inline const QString kDefaultAlias = QStringLiteral("QVT");
inline const QString kDefaultUser = QStringLiteral("SYSDBA");
// The one-character password of the database user on the installations served.
inline const QString kBuiltInPassword = QStringLiteral("m");
inline const QString kSettingsFileName = QStringLiteral("DPH.ini");
inline constexpr unsigned kDefaultConnectTimeout = 15;

struct ConnectionSettings {
    QString alias = kDefaultAlias;
    QString user = kDefaultUser;
    QString password = kBuiltInPassword;
    // Seconds to wait for the server to accept the connection (key ConnectTimeout).
    unsigned connectTimeout = kDefaultConnectTimeout;
};

// Everything DPH.ini says.
struct Settings {
    ConnectionSettings connection;
    // Key Backup: where the full update backs the database up first, as the database server
    // sees the path; empty (or missing) for no backup.
    QString backupFile;
    // Key Rehearsal: the full update is first rehearsed on a restored copy (a whole number other
    // than 0; off when missing or not a number).
    bool rehearsal = false;
};

// Puts the settings into the connection, which opens with them next time.
void applyTo(db::Connection& connection, const ConnectionSettings& settings);

// DPH.ini exists but cannot be read (or is a directory): the run must not fall back to defaults.
class SettingsUnreadable : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads section Params of DPH.ini in programDir, once; a missing file, section or key gives that
// key's default, a key present with an empty value gives an empty setting. A ConnectTimeout that
// is not a whole number of seconds gives the default. Throws SettingsUnreadable when the file
// exists but cannot be read.
Settings LoadSettings(const QString& programDir);

// The operator's notice for a non-default alias (compared case-sensitively), with the password
// masked by a fixed "*****" that hides its length too; an empty text when the alias is the default one.
QString SettingsNotice(const ConnectionSettings& settings);

} // namespace update
