#pragma once

#include "update/PhaseClock.h"

#include <QString>

#include <array>

namespace update {
struct OtherAttachments;
struct RehearsalReport;
}

namespace update {

// "Aktualizace byla dokončena s chybami: databáze odmítla 3 příkazy, ..." for the info message
// kind (3 or 5) of the command that ended.
QString completedWithFailures(int kind, int failedStatements, const QString& logFile);

// A command refused before it changed anything, as each surface says it: the window in Czech,
// standard error in English.
struct Refusal {
    QString shown;
    QString stated;
};

// The four command buttons of the main window.
enum class CommandButton { RunAll, Step7, Close, Stock };
inline constexpr std::array<CommandButton, 4> kCommandButtons = {CommandButton::RunAll, CommandButton::Step7,
                                                                 CommandButton::Close, CommandButton::Stock};

// What the update commands need of the window: progress, the indicator, the buttons, the
// operator's option and the operator's dialogs. The main window implements it; tests record it.
class UpdateView {
public:
    virtual ~UpdateView() = default;

    // Unattended: nobody sees the view or answers it, and the run log says so.
    virtual bool isAutomaticMode() const { return false; }

    // The selected option for guests staying over the year end: 0 to 3, or -1 when none is.
    virtual int stayingGuestsOption() const = 0;

    virtual bool isButtonEnabled(CommandButton button) const = 0;
    virtual void setButtonEnabled(CommandButton button, bool enabled) = 0;
    // The full update has ended: its start button in black, "Konec" in red.
    virtual void markFullUpdateDone() = 0;

    virtual void setIndicatorRunning(bool running) = 0;
    virtual void setProgressMaximum(int maximum) = 0;
    virtual void setProgress(int position) = 0;
    // Step 1 to 8 of the full update is done.
    virtual void markStepDone(int step) = 0;
    // Step 1 to 8 ended, but a statement of it was refused or its work could not run.
    virtual void markStepFailed(int step) { markStepDone(step); }
    // Lets the window repaint between steps.
    virtual void processPendingMessages() = 0;

    // The info dialog of kind 1 to 5; returns once it is closed, at once in automatic mode.
    virtual void ShowInfo(int kind) = 0;
    // An error ended a command; tells the operator (or, unattended, standard error).
    virtual void showCommandError(const QString& text) = 0;
    // A command ran to its end: its info message (3 or 5) as it stands when nothing failed, else
    // how many statements the database refused and which log has them.
    virtual void showCompletion(int kind, int failedStatements, const QString& logFile)
    {
        if (failedStatements == 0)
            ShowInfo(kind);
        else
            showCommandError(completedWithFailures(kind, failedStatements, logFile));
    }

    // Others are attached to the database: true to go on. The window asks the operator;
    // unattended, it lists them on standard error and goes on.
    virtual bool continueDespite(const OtherAttachments& others) = 0;
    // A line of the running backup's progress; an empty line: the backup has ended.
    virtual void showBackupProgress(const QString& line) = 0;
    // How far a long phase (backup, restore, rehearsed or real update) is and how long it has left.
    virtual void showPhaseProgress(const PhaseProgress&) {}
    // A line of the running rehearsal's progress (backup, restore, the rehearsed steps, the check);
    // an empty line: the rehearsal has ended. The window stays usable meanwhile.
    virtual void showRehearsalProgress(const QString& line) { showBackupProgress(line); }
    // A line of the way back's progress (the server's backup of today's state, the restore); an
    // empty line: that service has ended.
    virtual void showRestoreProgress(const QString& line) { showBackupProgress(line); }
    // The rehearsal before the real update has ended: true to go on with the real update. The
    // window asks the operator ("Pokračovat", "Zrušit"; the focus starts on "Zrušit" when the
    // rehearsal found problems); unattended, the run goes on only when it found none.
    virtual bool continueAfterRehearsal(const RehearsalReport& report) = 0;
    // A command was refused before it changed anything (another instance runs one).
    virtual void showRefusal(const Refusal& refusal) { showCommandError(refusal.shown); }
};

// The command buttons' states, to put back as they were.
class ButtonStates {
public:
    explicit ButtonStates(const UpdateView& view)
    {
        for (std::size_t index = 0; index < kCommandButtons.size(); ++index)
            enabled_[index] = view.isButtonEnabled(kCommandButtons[index]);
    }
    void restore(UpdateView& view) const
    {
        for (std::size_t index = 0; index < kCommandButtons.size(); ++index)
            view.setButtonEnabled(kCommandButtons[index], enabled_[index]);
    }

private:
    std::array<bool, kCommandButtons.size()> enabled_{};
};

inline void setAllButtonsEnabled(UpdateView& view, bool enabled)
{
    for (CommandButton button : kCommandButtons)
        view.setButtonEnabled(button, enabled);
}

} // namespace update
