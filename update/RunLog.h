#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <functional>

namespace update {

inline const QString kRunLogFileName = QStringLiteral("QVTDPH2012.log");
// The log of the statements a rehearsal sends to its scratch database, beside the run log.
inline const QString kRehearsalLogFileName = QStringLiteral("QVTDPH2012-zkouska.log");

// The run log beside the program: one entry per WriteLog, the file opened and closed each time.
class RunLog {
public:
    using Clock = std::function<QDateTime()>;

    // The local date and time of the machine.
    static QDateTime systemClock() { return QDateTime::currentDateTime(); }

    explicit RunLog(const QString& directory, Clock clock = &RunLog::systemClock,
                    QLocale locale = QLocale::system(), const QString& fileName = kRunLogFileName);

    // Appends "<timestamp> | <message>" and CR LF; false when anything failed. An entry is
    // written whole or not at all; after a torn line (a log that does not end with CR LF) it
    // starts on a new line.
    bool WriteLog(const QString& message) const;

    // Told once, at the first entry that could not be written, which file and why.
    using FailureReporter = std::function<void(const QString& file, const QString& reason)>;
    void setFailureReporter(FailureReporter reporter) { reporter_ = std::move(reporter); }

    QString filePath() const { return filePath_; }

    // Short date, a blank and the long time of the locale; the time is left out at exactly midnight.
    static QString timestamp(const QDateTime& moment, const QLocale& locale);

private:
    QString filePath_;
    Clock clock_;
    QLocale locale_;
    FailureReporter reporter_;
    mutable bool failureReported_ = false;
};

} // namespace update
