#pragma once

#include "RunLogEntries.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <stdexcept>

namespace testsupport {

// A copy of the built program in a directory of its own, started as an operator or a
// scheduler would start it.
class InstalledProgram {
public:
    InstalledProgram()
    {
        const QString source = QStringLiteral(DPH2012_EXECUTABLE);
        if (!QFile::copy(source, executable()))
            throw std::runtime_error("cannot copy " + source.toStdString());
    }
    ~InstalledProgram()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(10000);
        }
    }

    QString executable() const { return directory_.filePath(QStringLiteral("dph2012")); }

    void writeSettings(const QString& alias) const
    {
        QFile file(directory_.filePath(QStringLiteral("DPH.ini")));
        if (!file.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot write DPH.ini");
        file.write("[Params]\r\nAlias=" + alias.toUtf8() + "\r\nUser=SYSDBA\r\nPassword=heslo42\r\n");
    }

    bool hasRunLog() const { return QFile::exists(directory_.filePath(QStringLiteral("QVTDPH2012.log"))); }

    // DPH.ini as given, byte for byte.
    void writeSettingsText(const QByteArray& text) const
    {
        QFile file(directory_.filePath(QStringLiteral("DPH.ini")));
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            throw std::runtime_error("cannot write DPH.ini");
    }

    QString directory() const { return directory_.path(); }

    // Left out of the program's environment.
    void unsetEnvironment(const QString& name) { unset_.append(name); }

    // The Firebird root that the program's alias is looked up in.
    void setFirebirdRoot(const QString& root) { firebirdRoot_ = root; }

    // Started through that command line (such as one that changes the user it runs as).
    void startThrough(const QStringList& command) { through_ = command; }

    // An environment variable of the program's own, such as the locale it runs in.
    void setEnvironment(const QString& name, const QString& value) { environment_.insert(name, value); }

    // Started with no display at all, unless a platform is named.
    void start(const QStringList& arguments, const QString& platform = QString())
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        if (!platform.isEmpty())
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
        for (const QString& name : unset_)
            environment.remove(name);
        if (!firebirdRoot_.isEmpty())
            environment.insert(QStringLiteral("FIREBIRD"), firebirdRoot_);
        environment.insert(environment_);
        process_.setProcessEnvironment(environment);
        process_.setWorkingDirectory(directory_.path());
        if (through_.isEmpty())
            process_.start(executable(), arguments);
        else
            process_.start(through_.front(), through_.mid(1) + QStringList{executable()} + arguments);
        if (!process_.waitForStarted(30000))
            throw std::runtime_error("the program did not start");
    }

    // Started with its test hold at `point`: returns once the run waits there, with the process id
    // the hold file holds (the program's, or its layout process's); empty when the program ended
    // or two minutes passed first. The run goes on once the test removes `holdFile`.
    QByteArray startHeldAt(const QString& point, const QString& holdFile, const QStringList& arguments)
    {
        setEnvironment(QStringLiteral("DPH2012_TEST_HOLD"), point + QLatin1Char('=') + holdFile);
        start(arguments);
        const QDeadlineTimer limit(120000);
        for (;;) {
            QFile marker(holdFile);
            if (marker.open(QIODevice::ReadOnly))
                if (const QByteArray id = marker.readAll(); !id.isEmpty())
                    return id;
            if (!isRunning() || limit.hasExpired())
                return {};
            QThread::msleep(5);
        }
    }

    // Waits for the program to end by itself; false if it is still running after a minute.
    bool endsByItself() { return process_.waitForFinished(60000); }
    // Started without a display, run to its end: its exit status.
    int run(const QStringList& arguments)
    {
        start(arguments);
        if (!endsByItself())
            throw std::runtime_error("the run did not end");
        return exitCode();
    }
    bool stillRunningAfter(int milliseconds) { return !process_.waitForFinished(milliseconds); }
    int exitCode() const { return process_.exitCode(); }
    qint64 processId() const { return process_.processId(); }
    bool exitedNormally() const { return process_.exitStatus() == QProcess::NormalExit; }
    // Everything the program has written to standard error so far.
    QString standardError()
    {
        errors_ += process_.readAllStandardError();
        return QString::fromLocal8Bit(errors_);
    }
    QString standardOutput() { return QString::fromLocal8Bit(process_.readAllStandardOutput()); }
    // Waits until the text appears on standard error; false if the program ends or a minute
    // passes first.
    bool writesToStandardError(const QString& text)
    {
        process_.setReadChannel(QProcess::StandardError);
        QDeadlineTimer limit(60000);
        while (!standardError().contains(text)) {
            if (process_.state() == QProcess::NotRunning || limit.hasExpired())
                return false;
            process_.waitForReadyRead(static_cast<int>(limit.remainingTime()));
        }
        return true;
    }
    bool isRunning() const { return process_.state() == QProcess::Running; }

    // What the program has written to its run log, timestamps aside.
    QStringList logEntries() const { return runLogEntries(directory_.filePath(QStringLiteral("QVTDPH2012.log"))); }
    // The program's record of backups, each line split into its fields (file, size, SHA-256, ...).
    QList<QList<QByteArray>> backupRecord() const
    {
        QFile record(directory_.filePath(QStringLiteral("QVTDPH2012-zalohy.stav")));
        QList<QList<QByteArray>> lines;
        if (record.open(QIODevice::ReadOnly))
            for (const QByteArray& line : record.readAll().split('\n'))
                if (!line.isEmpty())
                    lines.append(line.split('\t'));
        return lines;
    }

private:
    QTemporaryDir directory_;
    QProcess process_;
    QString firebirdRoot_;
    QProcessEnvironment environment_;
    QByteArray errors_;
    QStringList unset_;
    QStringList through_;
};

// The SHA-256 of a file, in hexadecimal; empty when it cannot be read.
inline QByteArray sha256Of(const std::string& file)
{
    QFile read(QString::fromStdString(file));
    return read.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(read.readAll(), QCryptographicHash::Sha256).toHex()
                                          : QByteArray();
}

} // namespace testsupport
