#pragma once

#include "update/safety/OtherAttachments.h"
#include "update/safety/RehearsalReport.h"
#include "update/UpdateView.h"

#include <QStringList>

#include <functional>
#include <map>
#include <vector>

namespace testsupport {

// Stands in for the main window: records what a command shows, in order, and answers the
// option and the button states as a test sets them.
class RecordingView final : public update::UpdateView {
public:
    int stayingGuestsOption() const override { return option; }
    bool isButtonEnabled(update::CommandButton button) const override { return enabled.at(button); }
    void setButtonEnabled(update::CommandButton button, bool on) override
    {
        enabled[button] = on;
        record((on ? QStringLiteral("enable ") : QStringLiteral("disable ")) + name(button));
    }
    void markFullUpdateDone() override { record(QStringLiteral("update done")); }
    void setIndicatorRunning(bool running) override
    {
        indicatorRunning = running;
        record(running ? QStringLiteral("indicator on") : QStringLiteral("indicator off"));
    }
    void setProgressMaximum(int maximum) override { record(QStringLiteral("maximum %1").arg(maximum)); }
    void setProgress(int position) override { record(QStringLiteral("progress %1").arg(position)); }
    void markStepDone(int step) override { record(QStringLiteral("step %1").arg(step)); }
    void processPendingMessages() override { record(QStringLiteral("messages")); }
    void ShowInfo(int kind) override { record(QStringLiteral("info %1").arg(kind)); }
    void showCommandError(const QString& text) override { record(QStringLiteral("error ") + text); }
    bool continueDespite(const update::OtherAttachments& others) override
    {
        record(QStringLiteral("others ") + others.summary());
        return goOnDespiteOthers;
    }
    void showBackupProgress(const QString& line) override { record(QStringLiteral("backup ") + line); }
    void showRehearsalProgress(const QString& line) override { record(QStringLiteral("rehearsal ") + line); }
    void showRestoreProgress(const QString& line) override { record(QStringLiteral("restore ") + line); }
    // Kept apart from the events: how often a phase reports depends on how fast it runs.
    void showPhaseProgress(const update::PhaseProgress& progress) override { phases.push_back(progress); }
    bool continueAfterRehearsal(const update::RehearsalReport& report) override
    {
        rehearsals.push_back(report);
        record(QStringLiteral("rehearsal ended"));
        return goOnAfterRehearsal;
    }

    // The events that start with the text, in order.
    QStringList eventsStartingWith(const QString& start) const
    {
        QStringList found;
        for (const QString& event : events)
            if (event.startsWith(start))
                found.append(event);
        return found;
    }

    static QString name(update::CommandButton button)
    {
        switch (button) {
        case update::CommandButton::RunAll:
            return QStringLiteral("RunAll");
        case update::CommandButton::Step7:
            return QStringLiteral("Step7");
        case update::CommandButton::Close:
            return QStringLiteral("Close");
        case update::CommandButton::Stock:
            break;
        }
        return QStringLiteral("Stock");
    }

    int option = 0;
    bool goOnDespiteOthers = true;
    bool goOnAfterRehearsal = true;
    std::vector<update::RehearsalReport> rehearsals;
    std::vector<update::PhaseProgress> phases;
    bool indicatorRunning = false;
    std::map<update::CommandButton, bool> enabled = {{update::CommandButton::RunAll, true},
                                                     {update::CommandButton::Step7, true},
                                                     {update::CommandButton::Close, true},
                                                     {update::CommandButton::Stock, true}};
    QStringList events;
    // Called with each event once it is recorded; may throw to break a command off.
    std::function<void(const QString&)> onEvent;

private:
    void record(const QString& event)
    {
        events.append(event);
        if (onEvent)
            onEvent(event);
    }
};

} // namespace testsupport
