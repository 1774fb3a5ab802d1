#include "app/TerminalView.h"

#include "app/AutomaticMode.h"
#include "update/safety/OtherAttachments.h"
#include "update/safety/RehearsalReport.h"
#include "update/VisibleText.h"

#include <cstdio>

namespace app {

namespace {

// A log that a person reads or a scheduler keeps: a line every few seconds says enough.
constexpr qint64 kSecondsBetweenLines = 3;

} // namespace

bool TerminalView::isAutomaticMode() const
{
    return app::isAutomaticMode();
}

bool TerminalView::isButtonEnabled(update::CommandButton button) const
{
    return enabled_.at(static_cast<std::size_t>(button));
}

void TerminalView::setButtonEnabled(update::CommandButton button, bool enabled)
{
    enabled_.at(static_cast<std::size_t>(button)) = enabled;
}

void TerminalView::showCommandError(const QString& text)
{
    say(commandName_ + QStringLiteral(" ended with an error: ") + text);
}

bool TerminalView::continueDespite(const update::OtherAttachments& others)
{
    say(others.summary());
    return true;
}

bool TerminalView::serverLineDue()
{
    if (sinceServerLine_.isValid() && sinceServerLine_.elapsed() < kSecondsBetweenLines * 1000)
        return false;
    sinceServerLine_.start();
    return true;
}

void TerminalView::sayFirstThenNowAndThen(const QString& phase, const QString& line, bool& firstShown)
{
    // An empty line begins a service anew.
    if (line.isEmpty()) {
        firstShown = false;
        return;
    }
    if (!firstShown || serverLineDue())
        say(phase + QStringLiteral(": ") + line);
    firstShown = true;
}

void TerminalView::showBackupProgress(const QString& line)
{
    // The first line names the file; the server's own follow.
    sayFirstThenNowAndThen(QStringLiteral("backup"), line, backupNamed_);
}

void TerminalView::showRehearsalProgress(const QString& line)
{
    if (line.isEmpty() || (line.startsWith(QStringLiteral("obnova: ")) && !serverLineDue()))
        return;
    say(QStringLiteral("rehearsal: ") + line);
}

void TerminalView::showRestoreProgress(const QString& line)
{
    // Each service's first line says what it does; of its own lines one now and then is enough.
    sayFirstThenNowAndThen(QStringLiteral("restore"), line, restoreLineShown_);
}

void TerminalView::showPhaseProgress(const update::PhaseProgress& progress)
{
    const bool newPhase = shownPhase_ != progress.phase;
    if (!newPhase && !progress.finished && sinceShown_.isValid() && sinceShown_.elapsed() < kSecondsBetweenLines * 1000)
        return;
    // The start of a phase with a known total says only that it began: 0 % tells nothing.
    if (newPhase && progress.totalKnown() && progress.done == 0 && !progress.finished) {
        shownPhase_ = progress.phase;
        sinceShown_.start();
        return;
    }
    shownPhase_ = progress.phase;
    sinceShown_.start();
    say(progress.english());
}

bool TerminalView::continueAfterRehearsal(const update::RehearsalReport& report)
{
    say(QStringLiteral("rehearsal on a restored copy: %1 statements, %2 failed, %3 items left%4")
            .arg(report.statements())
            .arg(report.failedStatements())
            .arg(report.leftItems().size())
            .arg(report.made() ? QString() : QStringLiteral("; not made: ") + report.notMade));
    return !report.hasProblems();
}

void TerminalView::showRefusal(const update::Refusal& refusal)
{
    say(refusal.stated);
}

void TerminalView::say(const QString& text)
{
    update::writeVisible(stderr, QStringLiteral("dph2012: ") + text + QLatin1Char('\n'));
}

void TerminalView::sayLogFailure(const QString& file, const QString& reason)
{
    say(QStringLiteral("the run log %1 could not be written: %2").arg(file, reason));
}

void TerminalView::sayAsIs(const QString& text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    update::writeVisible(stderr, lines + QLatin1Char('\n'));
}

} // namespace app
