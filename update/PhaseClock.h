#pragma once

#include <QString>

#include <optional>

namespace update {

// The long phases of a night whose progress is shown.
enum class Phase { Backup, Restore, BackupAndRestore, RehearsedUpdate, Update, StayingGuests, Protocol };

// How far a long phase is: what is done of a total the engine told (bytes or steps), how long it
// has run and, when a rehearsal measured it, how long the whole phase took there.
struct PhaseProgress {
    PhaseProgress(Phase phase, qint64 total, bool bytes = true) : phase(phase), total(total), bytes(bytes) {}

    Phase phase = Phase::Backup;
    qint64 done = 0;
    // 0 when the phase cannot know its total.
    qint64 total = 0;
    // Sizes in bytes, else steps.
    bool bytes = true;
    // Steps are counted in parts, so that a long step's own items (stay groups) move the percent.
    qint64 unitsPerStep = 1;
    qint64 elapsedMilliseconds = 0;
    // The rehearsal's own figure for the whole phase, when there was one.
    std::optional<qint64> expectedMilliseconds;
    // What is left by the estimate of the work in hand (the update's steps, step 7's stay groups
    // at their pace), when there is one.
    std::optional<qint64> leftMilliseconds;
    // The percent already shown: a pace that slows never takes it back.
    int shownPercent = 0;
    bool finished = false;
    // Statements the database refused during the phase; said at its end.
    int failedStatements = 0;

    bool totalKnown() const { return total > 0; }
    // 0 to 99 while the phase runs (a total is an estimate and the end is not yet proved), 100
    // once it has ended well; nothing when the total is unknown. Steps are uneven: a phase of
    // steps whose time left is known shows the share of its time gone.
    std::optional<int> percent() const;
    // Milliseconds left: by the rehearsal's figure when there is one, else by the estimate of the
    // work in hand, else by the pace so far.
    std::optional<qint64> millisecondsLeft() const;
    // The same to the nearest second.
    std::optional<qint64> secondsLeft() const;
    // For the window: "Záloha 37 %, zbývá asi 2 min".
    QString czech() const;
    // For standard error: "backup: 37 % (412 of 1,110 MB), about 2 min left"; steps are named by
    // the one that runs: "update: 80 % (step 7 of 8), about 12 s left".
    QString english() const;
};

// The pace of step 7's stay groups. Each group leaves the database larger for the next, so a
// group costs a little more than the one before: what is left follows the line that fits the
// cost of every group done (least squares), never taken as falling.
class GroupPace {
public:
    // The `done`th group ended `elapsedMilliseconds` into the step.
    void groupEnded(qint64 done, qint64 elapsedMilliseconds);
    // What is left of `total` groups; 0 before the first one ended.
    qint64 millisecondsLeft(qint64 total) const;

private:
    qint64 done_ = 0;
    qint64 lastEnd_ = 0;
    // Over the groups after the first (what came before it, reading the groups, is no group's
    // cost): their number, and the sums of their place i, i squared, cost c and i times c.
    double count_ = 0, sumI_ = 0, sumII_ = 0, sumC_ = 0, sumIC_ = 0;
};

// "2 min", "45 s", "1 h 5 min": a duration as the operator reads it.
QString roughDuration(qint64 seconds);

} // namespace update
