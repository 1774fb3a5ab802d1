#include "ui/D08_Info.h"
#include "ui/D08_Main.h"
#include "ui/D08_Question.h"
#include "ui/RecordingPrompt.h"
#include "ui/widgets/GlowButton.h"

#include "update/safety/OtherAttachments.h"
#include "update/safety/RehearsalReport.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QTemporaryDir>

#include <array>
#include <cstdio>
#include <tuple>

namespace {

bool save(const QPixmap& picture, const QDir& directory, const QString& name)
{
    const QString path = directory.filePath(name);
    if (picture.save(path))
        return true;
    std::fprintf(stderr, "dph2012_screenshot: cannot write %s\n", qPrintable(path));
    return false;
}

// A rehearsal of option b whose step 3 had a statement refused and whose check found step 3 left.
update::RehearsalReport rehearsalWithProblems()
{
    update::RehearsalReport report;
    report.backupFile = QStringLiteral("/var/lib/firebird/zaloha/HOTEL_2011-12-31.fbk");
    report.scratchDatabase = QStringLiteral("/var/lib/firebird/data/HOTEL_zkouska.fdb");
    report.option = 1;
    const QString refused = QStringLiteral(
        "335544347, -625, validation error for column \"REC_SLUZBY\".\"ID_DPH\", value \"*** null ***\"");
    const std::array<std::tuple<int, int, int>, 8> steps = {{{420, 14, 0}, {180, 3, 0}, {2650, 212, 1}, {90, 6, 0},
                                                             {5230, 1840, 0}, {610, 9, 0}, {1480, 57, 0}, {330, 4, 0}}};
    int number = 0;
    for (const auto& [milliseconds, statements, failed] : steps)
        report.steps.push_back({++number, milliseconds, statements, failed, failed > 0 ? refused : QString()});
    update::ReadinessReport check;
    check.items = {{QStringLiteral("1 POS: dane se sazbou 10"), QStringLiteral("0"), 0, {}, false, true, {}},
                   {QStringLiteral("2 FBS: sazba 14 (prave jeden radek)"), QStringLiteral("1"), 1, {}, false, true, {}},
                   {QStringLiteral("3 REC: sluzby se sazbou 10 (typ mimo 1)"), QStringLiteral("0"), 2, {}, true, true, {}},
                   {QStringLiteral("5 Rezervace od 1.1.2012 se sazbou 10"), QStringLiteral("0"), 0, {}, false, true, {}}};
    report.check = check;
    report.sizeBefore = 734'003'200;
    report.sizeAfter = 741'343'232;
    report.backupMilliseconds = 48'200;
    report.restoreMilliseconds = 71'900;
    report.updateMilliseconds = 10'990;
    report.totalMilliseconds = 131'400;
    return report;
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
        // A long phase of a 1,110 MB database, part of it done; the phase then ends.
        const auto phaseShot = [&](update::Phase phase, qint64 done, qint64 milliseconds, const QString& file) {
            update::PhaseProgress progress(phase, 1'110'000'000);
            progress.done = done;
            progress.elapsedMilliseconds = milliseconds;
            window.showPhaseProgress(progress);
            written &= save(window.grab(), output, file);
            progress.finished = true;
            window.showPhaseProgress(progress);
        };
        // The same backup with 412 MB written after 80 s.
        phaseShot(update::Phase::Backup, 412'000'000, 80'000, QStringLiteral("main_backup_percent.png"));

        // The rehearsal on a restored copy before the real update, its progress in the status.
        window.showRehearsalProgress(QString::fromUtf8("krok 3: služby recepce se sazbou 10"));
        written &= save(window.grab(), output, QStringLiteral("main_rehearsal.png"));
        window.showRehearsalProgress(QString());
        // The backup streamed into that copy, 64 % of the way after 3 minutes.
        phaseShot(update::Phase::BackupAndRestore, 710'000'000, 180'000, QStringLiteral("main_rehearsal_percent.png"));

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
        // The same night, a posting in step 7 refused: the step in red.
        window.markStepFailed(7);
        written &= save(window.grab(), output, QStringLiteral("main_done_step7_failed.png"));
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
        ui::TFormD08Question dialog({.lines = ui::otherAttachmentsQuestion(others)});
        dialog.show();
        QApplication::processEvents();
        written &= save(dialog.grab(), output, QStringLiteral("question.png"));
    }
    {
        // After a rehearsal that found problems: the focus on "Zrušit", then the details open.
        ui::TFormD08Question dialog(ui::rehearsalQuestion(rehearsalWithProblems()));
        dialog.show();
        QApplication::processEvents();
        written &= save(dialog.grab(), output, QStringLiteral("question_rehearsal.png"));
        dialog.AdvGlowButton4->click();
        QApplication::processEvents();
        written &= save(dialog.grab(), output, QStringLiteral("question_rehearsal_details.png"));
    }
    std::printf("Screenshots written to %s\n", qPrintable(output.absolutePath()));
    return written ? 0 : 1;
}
