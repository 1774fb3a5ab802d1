#include "ui/D08_Info.h"
#include "ui/D08_Main.h"
#include "ui/D08_Question.h"
#include "ui/RecordingPrompt.h"

#include "update/safety/OtherAttachments.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>

namespace {

bool save(const QPixmap& picture, const QDir& directory, const QString& name)
{
    const QString path = directory.filePath(name);
    if (picture.save(path))
        return true;
    std::fprintf(stderr, "dph2012_screenshot: cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: dph2012_screenshot OUTPUT_DIRECTORY\n");
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    if (!output.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "dph2012_screenshot: cannot create %s\n", argv[1]);
        return 1;
    }

    // A program directory without DPH.ini: default settings, and the run log stays out of sight.
    const QTemporaryDir programDir;
    ui::RecordingPrompt prompt;
    bool written = true;
    {
        ui::TFormD08Main window(programDir.path(), prompt);
        window.show();
        QApplication::processEvents();
        written &= save(window.grab(), output, QStringLiteral("main.png"));

        // The backup before step 1: buttons off, the indicator turning, its progress in the status.
        update::setAllButtonsEnabled(window, false);
        window.setProgressMaximum(8);
        window.setIndicatorRunning(true);
        window.showBackupProgress(QStringLiteral("writing data for table REC_CHECKDTL"));
        written &= save(window.grab(), output, QStringLiteral("main_backup.png"));
        window.showBackupProgress(QString());

        // Midway through the full update: five steps done.
        for (int step = 1; step <= 5; ++step) {
            window.markStepDone(step);
            window.setProgress(step);
        }
        written &= save(window.grab(), output, QStringLiteral("main_running.png"));

        for (int step = 6; step <= 8; ++step) {
            window.markStepDone(step);
            window.setProgress(step);
        }
        window.setIndicatorRunning(false);
        window.markFullUpdateDone();
        for (auto button : {update::CommandButton::RunAll, update::CommandButton::Step7, update::CommandButton::Close})
            window.setButtonEnabled(button, true);
        written &= save(window.grab(), output, QStringLiteral("main_done.png"));
    }
    for (int kind = 1; kind <= 5; ++kind) {
        ui::TFormD08Info dialog;
        dialog.setMessage(kind);
        dialog.show();
        QApplication::processEvents();
        written &= save(dialog.grab(), output, QStringLiteral("info_%1.png").arg(kind));
    }
    {
        update::OtherAttachments others;
        others.attachments = {QStringLiteral("RECEPCE@192.168.1.20 /opt/kalmor/kalmor"),
                              QStringLiteral("POKLADNA@192.168.1.31 /opt/kalmor/pos")};
        ui::TFormD08Question dialog(ui::otherAttachmentsQuestion(others).join(QString()));
        dialog.show();
        QApplication::processEvents();
        written &= save(dialog.grab(), output, QStringLiteral("question.png"));
    }
    std::printf("Screenshots written to %s\n", qPrintable(output.absolutePath()));
    return written ? 0 : 1;
}
