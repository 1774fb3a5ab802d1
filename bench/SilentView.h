#pragma once

#include "update/safety/OtherAttachments.h"
#include "update/UpdateView.h"

#include <QCoreApplication>

#include <cstdio>

// The window without widgets: option a, every button on, nothing shown, errors on standard error.
class SilentView : public update::UpdateView {
public:
    int stayingGuestsOption() const override { return 0; }
    bool isButtonEnabled(update::CommandButton) const override { return true; }
    void setButtonEnabled(update::CommandButton, bool) override {}
    void markFullUpdateDone() override {}
    void setIndicatorRunning(bool) override {}
    void setProgressMaximum(int) override {}
    void setProgress(int) override {}
    void markStepDone(int) override {}
    void processPendingMessages() override { QCoreApplication::processEvents(); }
    void ShowInfo(int) override {}
    void showCommandError(const QString& text) override { std::fprintf(stderr, "error: %s\n", qPrintable(text)); }
    bool continueDespite(const update::OtherAttachments&) override { return true; }
    void showBackupProgress(const QString&) override {}
    bool continueAfterRehearsal(const update::RehearsalReport&) override { return true; }
    // Counted, to put a price on the phases' progress.
    void showPhaseProgress(const update::PhaseProgress&) override { ++phaseReports; }

    int phaseReports = 0;
};
