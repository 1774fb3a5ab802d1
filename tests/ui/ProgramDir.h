#pragma once

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include "QtPrinters.h"

#include <gtest/gtest.h>

// A program directory of its own for one test, with or without a DPH.ini.
class ProgramDir {
public:
    void writeIni(const QByteArray& contents) const
    {
        QFile file(path() + QStringLiteral("/DPH.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    void writeAlias(const QString& alias) const
    {
        writeIni("[Params]\r\nAlias=" + alias.toUtf8() + "\r\nUser=SYSDBA\r\nPassword=tajne\r\n");
    }
    QString path() const { return directory_.path(); }
    bool hasRunLog() const { return QFile::exists(path() + QStringLiteral("/QVTDPH2012.log")); }

private:
    QTemporaryDir directory_;
};
