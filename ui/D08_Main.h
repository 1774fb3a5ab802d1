#pragma once

#include "update/UpdateSession.h"
#include "update/UpdateView.h"

#include <QWidget>

#include <memory>
#include <optional>
#include <utility>

class QLabel;

namespace ui {

class CircularProgress;
class GlowButton;
class OfficeRadioGroup;
class OperatorPrompt;
class ReflectionLabel;
class SmoothProgressBar;

// The program's only window: the eight steps, the option for staying guests, the connection
// status, progress and the command buttons. It owns the update session for the whole run and
// shows what the update commands report.
class TFormD08Main : public QWidget, public update::UpdateView {
    Q_OBJECT
public:
    // Asks the operator through the real dialogs.
    explicit TFormD08Main(const QString& programDir, QWidget* parent = nullptr);
    // Asks the operator through the given prompt, which must outlive the window.
    TFormD08Main(const QString& programDir, OperatorPrompt& prompt, QWidget* parent = nullptr);
    ~TFormD08Main() override;

    update::UpdateSession& session() { return session_; }
    OperatorPrompt& prompt() { return prompt_; }

    // The info dialog of the kind, through the window's prompt; nothing in automatic mode.
    void ShowInfo(int kind) override;

    int stayingGuestsOption() const override;
    bool isButtonEnabled(update::CommandButton button) const override;
    void setButtonEnabled(update::CommandButton button, bool enabled) override;
    void markFullUpdateDone() override;
    void setIndicatorRunning(bool running) override;
    void setProgressMaximum(int maximum) override;
    void setProgress(int position) override;
    void markStepDone(int step) override;
    void markStepFailed(int step) override;
    void processPendingMessages() override;
    void showCommandError(const QString& text) override;
    bool continueDespite(const update::OtherAttachments& others) override;
    void showBackupProgress(const QString& line) override;
    void showRehearsalProgress(const QString& line) override;
    void showRestoreProgress(const QString& line) override;
    void showPhaseProgress(const update::PhaseProgress& progress) override;
    bool continueAfterRehearsal(const update::RehearsalReport& report) override;
    void showRefusal(const update::Refusal& refusal) override;

    // True while one of the update commands runs.
    bool isCommandRunning() const { return commandRunning_; }

    ReflectionLabel* AdvReflectionLabel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label2 = nullptr;
    CircularProgress* AdvCircularProgress1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    OfficeRadioGroup* AdvOfficeRadioGroup1 = nullptr;
    QLabel* Label9 = nullptr;
    GlowButton* AdvGlowButton1 = nullptr;
    GlowButton* AdvGlowButton3 = nullptr;
    GlowButton* AdvGlowButton4 = nullptr;
    SmoothProgressBar* AdvProgress1 = nullptr;
    GlowButton* AdvGlowButton2 = nullptr;

public slots:
    // Opens the connection and shows its outcome; runs when the window is first shown.
    void FormShow();
    // "Spusť aktualizaci": the full update.
    void AdvGlowButton1Click();
    // "Spusť pouze krok 7": the guests staying over the year end, on their own.
    void AdvGlowButton3Click();
    // The stock items and banquets.
    void AdvGlowButton4Click();
    // A stop signal arrived: an idle window ends the run and the program at once; a running
    // command ends after its statement in flight (an open dialog is closed so that it gets there).
    void stopOnSignal();

protected:
    void showEvent(QShowEvent* event) override;
    // Ignored while a command runs: the window must outlive the command that repaints it.
    void closeEvent(QCloseEvent* event) override;

private:
    // A step label of the list in the colour of how its step ended.
    void colourStep(int step, const QColor& colour);
    TFormD08Main(const QString& programDir, OperatorPrompt* prompt, QWidget* parent);

    void createControls();
    void FormCreate();
    void LoadSettings();
    GlowButton* button(update::CommandButton which) const;
    // A stop signal has arrived: no prompt may wait for a person any more.
    bool stopAsked() const;
    // A command processes pending messages, so a click could otherwise start another inside it.
    void runUnlessACommandRuns(bool (*command)(update::UpdateSession&, update::UpdateView&));
    // The line after the prefix in the status line, its start elided; an empty line puts back what
    // the status line said before.
    void showProgressInStatus(const QString& prefix, const QString& line);
    // The bar's maximum and position as they were before a phase borrowed it.
    void giveBackTheBar();

    std::unique_ptr<OperatorPrompt> ownPrompt_;
    OperatorPrompt& prompt_;
    update::UpdateSession session_;
    bool shownBefore_ = false;
    bool commandRunning_ = false;
    // The status line's text and tooltip while a backup or the rehearsal shows its progress there.
    std::optional<std::pair<QString, QString>> statusBeforeProgress_;
    // The bar's maximum and position before a phase took it over, to give back at its end.
    std::optional<std::pair<int, int>> barBeforePhase_;
};

} // namespace ui
