#pragma once

#include <QApplication>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include "FreshDatabase.h"
#include "QtPrinters.h"

#include "db/Connection.h"
#include "ui/D08_Info.h"

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

// A stand-in database named in a program directory's DPH.ini, and another attachment open to it.
struct AttachedElsewhere {
    explicit AttachedElsewhere(testsupport::HotelData data = testsupport::HotelData::Base) : database(data)
    {
        dir.writeAlias(QString::fromStdString(database.path()));
        other.setDatabase(database.path());
        other.setUser("SYSDBA");
        other.open();
    }
    testsupport::FreshDatabase database;
    ProgramDir dir;
    db::Connection other;
};

// Counts the dialogs that came up meanwhile and closes them, so a fault shows as a failure
// rather than a test that waits for ever.
class DialogWatch {
public:
    DialogWatch()
    {
        QTimer::singleShot(0, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                ++dialogs_;
                modal->close();
            }
        });
    }
    int dialogsAfterEvents()
    {
        QApplication::processEvents();
        for (QWidget* widget : QApplication::topLevelWidgets())
            dialogs_ += qobject_cast<ui::TFormD08Info*>(widget) ? 1 : 0;
        return dialogs_;
    }

private:
    int dialogs_ = 0;
};
