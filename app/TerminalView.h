#pragma once

#include "update/UpdateView.h"

#include <QElapsedTimer>
#include <QString>

#include <array>
#include <optional>

namespace app {

// What the unattended update shows, on standard error, one "dph2012: " line each: the errors,
// the refusals, the other attachments and the backup's progress. Nothing is asked; the steps,
// the indicator and the info dialogs have nobody to show them to.
class TerminalView final : public update::UpdateView {
public:
    // `option`: what step 7 does with the staying guests, 0 to 3 for a to d (`--update c`).
    explicit TerminalView(int option = 0) : option_(option) {}
    // What an error ended, as standard error names it: "the update" unless said otherwise.
    void setCommandName(const QString& name) { commandName_ = name; }

    bool isAutomaticMode() const override;
    int stayingGuestsOption() const override { return option_; }

    bool isButtonEnabled(update::CommandButton button) const override;
    void setButtonEnabled(update::CommandButton button, bool enabled) override;
    void markFullUpdateDone() override {}
    void setIndicatorRunning(bool) override {}
    void setProgressMaximum(int) override {}
    void setProgress(int) override {}
    void markStepDone(int) override {}
    void processPendingMessages() override {}
    void ShowInfo(int) override {}
    // The update's last progress line says how many statements failed.
    void showCompletion(int, int, const QString&) override {}

    void showCommandError(const QString& text) override;
    // Lists them and goes on: an unattended run is not stopped by them.
    bool continueDespite(const update::OtherAttachments& others) override;
    void showBackupProgress(const QString& line) override;
    void showRehearsalProgress(const QString& line) override;
    void showRestoreProgress(const QString& line) override;
    // One line at most every few seconds, and the phase's start and end.
    void showPhaseProgress(const update::PhaseProgress& progress) override;
    void showRefusal(const update::Refusal& refusal) override;
    // Says how it went and goes on only when the rehearsal found no problem.
    bool continueAfterRehearsal(const update::RehearsalReport& report) override;

    // "dph2012: <text>" on a line of its own.
    static void say(const QString& text);
    // The run log could not be written: said once, in the run log's reporter's terms.
    static void sayLogFailure(const QString& file, const QString& reason);
    // A message box's text as it stands, its LF CR line breaks as plain ones.
    static void sayAsIs(const QString& text);

private:
    std::array<bool, update::kCommandButtons.size()> enabled_{true, true, true, true};
    const int option_ = 0;
    std::optional<update::Phase> shownPhase_;
    QElapsedTimer sinceShown_;
    // A server's own lines (one or two per table) at most one every few seconds: the operator's
    // terminal or a scheduler's log wants a pace, not the server's whole account.
    bool serverLineDue();
    // "<phase>: <line>" for a service's first line, then for one now and then.
    void sayFirstThenNowAndThen(const QString& phase, const QString& line, bool& firstShown);
    bool backupNamed_ = false;
    bool restoreLineShown_ = false;
    QString commandName_ = QStringLiteral("the update");
    QElapsedTimer sinceServerLine_;
};

} // namespace app
