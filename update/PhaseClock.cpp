#include "update/PhaseClock.h"

#include <QLocale>

#include <algorithm>

namespace update {

namespace {

QString czechName(Phase phase)
{
    switch (phase) {
    case Phase::Backup:
        return QString::fromUtf8("Záloha");
    case Phase::Restore:
        return QString::fromUtf8("Obnova");
    case Phase::BackupAndRestore:
        return QString::fromUtf8("Záloha a obnova");
    case Phase::RehearsedUpdate:
        return QString::fromUtf8("Zkouška");
    case Phase::Update:
        return QString::fromUtf8("Aktualizace");
    case Phase::StayingGuests:
        return QString::fromUtf8("Krok 7");
    case Phase::Protocol:
        return QString::fromUtf8("Protokol");
    }
    return {};
}

QString englishName(Phase phase)
{
    switch (phase) {
    case Phase::Backup:
        return QStringLiteral("backup");
    case Phase::Restore:
        return QStringLiteral("restore");
    case Phase::BackupAndRestore:
        return QStringLiteral("backup and restore");
    case Phase::RehearsedUpdate:
        return QStringLiteral("rehearsed update");
    case Phase::Update:
        return QStringLiteral("update");
    case Phase::StayingGuests:
        return QStringLiteral("step 7");
    case Phase::Protocol:
        return QStringLiteral("protocol");
    }
    return {};
}

// "3 statements failed".
QString statementsFailed(int failedStatements)
{
    return failedStatements == 1 ? QStringLiteral("1 statement failed")
                                 : QStringLiteral("%1 statements failed").arg(failedStatements);
}

// "1,110": whole megabytes with thousands grouped, as English text writes them.
QString megabytes(qint64 bytes)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString((bytes + 500'000) / 1'000'000);
}

// What is left of `total` items after `done` of them took `elapsedMilliseconds`, at that pace.
qint64 millisecondsLeftAtPace(qint64 elapsedMilliseconds, qint64 done, qint64 total)
{
    return done > 0 ? elapsedMilliseconds * std::max<qint64>(total - done, 0) / done : 0;
}

} // namespace

std::optional<int> PhaseProgress::percent() const
{
    if (finished)
        return 100;
    const std::optional<qint64> left = millisecondsLeft();
    qint64 share = 0;
    if (!bytes && (expectedMilliseconds || leftMilliseconds) && left)
        share = std::max<qint64>(elapsedMilliseconds, 0) * 100 / std::max<qint64>(elapsedMilliseconds + *left, 1);
    else if (totalKnown())
        share = std::clamp<qint64>(done, 0, total) * 100 / total;
    else
        return std::nullopt;
    return static_cast<int>(std::min<qint64>(std::max<qint64>(share, shownPercent), 99));
}

std::optional<qint64> PhaseProgress::millisecondsLeft() const
{
    if (finished)
        return 0;
    if (expectedMilliseconds)
        return std::max<qint64>(*expectedMilliseconds - elapsedMilliseconds, 0);
    if (leftMilliseconds)
        return std::max<qint64>(*leftMilliseconds, 0);
    if (!totalKnown() || done <= 0 || elapsedMilliseconds <= 0)
        return std::nullopt;
    const qint64 left = std::max<qint64>(total - done, 0);
    return static_cast<qint64>(static_cast<double>(elapsedMilliseconds) * static_cast<double>(left)
                               / static_cast<double>(done));
}

std::optional<qint64> PhaseProgress::secondsLeft() const
{
    const std::optional<qint64> left = millisecondsLeft();
    return left ? std::optional<qint64>((*left + 500) / 1000) : std::nullopt;
}


void GroupPace::groupEnded(qint64 done, qint64 elapsedMilliseconds)
{
    if (done != done_ + 1)
        return;
    if (done > 1) {
        const auto place = static_cast<double>(done);
        const auto cost = static_cast<double>(elapsedMilliseconds - lastEnd_);
        count_ += 1;
        sumI_ += place;
        sumII_ += place * place;
        sumC_ += cost;
        sumIC_ += place * cost;
    }
    done_ = done;
    lastEnd_ = elapsedMilliseconds;
}

qint64 GroupPace::millisecondsLeft(qint64 total) const
{
    if (done_ == 0 || total <= done_)
        return 0;
    if (count_ < 8)
        return millisecondsLeftAtPace(lastEnd_, done_, total);
    const double spread = count_ * sumII_ - sumI_ * sumI_;
    const double growth = spread > 0 ? std::max(0.0, (count_ * sumIC_ - sumI_ * sumC_) / spread) : 0.0;
    const double base = (sumC_ - growth * sumI_) / count_;
    // The groups done+1 to total at base + growth * place each.
    const double first = static_cast<double>(done_ + 1), last = static_cast<double>(total);
    const double left = last - first + 1;
    return std::max<qint64>(0, static_cast<qint64>(base * left + growth * (first + last) * left / 2));
}

QString roughDuration(qint64 seconds)
{
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(std::max<qint64>(seconds, 1));
    const qint64 minutes = (seconds + 30) / 60;
    if (minutes < 60)
        return QStringLiteral("%1 min").arg(minutes);
    return QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
}

QString PhaseProgress::czech() const
{
    const std::optional<int> shown = percent();
    if (!shown)
        return czechName(phase) + QString::fromUtf8(" běží, celkový rozsah nelze zjistit");
    QString text = czechName(phase) + QStringLiteral(" %1 %").arg(*shown);
    if (finished && failedStatements > 0)
        return text + QString::fromUtf8(", hotovo, selhaných příkazů: %1").arg(failedStatements);
    if (finished)
        return text + QString::fromUtf8(", hotovo");
    if (const std::optional<qint64> left = secondsLeft())
        text += QString::fromUtf8(", zbývá asi ") + roughDuration(*left);
    return text;
}

QString PhaseProgress::english() const
{
    const std::optional<int> shown = percent();
    if (!shown)
        return englishName(phase) + QStringLiteral(": running, its total cannot be known here");
    QString text = englishName(phase) + QStringLiteral(": %1 %").arg(*shown);
    if (bytes) {
        // At its end only what was written: a file smaller than the database is no shortfall.
        if (totalKnown() && !finished)
            text += QStringLiteral(" (%1 of %2 MB)").arg(megabytes(done), megabytes(total));
        else if (done > 0)
            text += QStringLiteral(" (%1 MB)").arg(megabytes(done));
    } else if (phase == Phase::StayingGuests) {
        text += QStringLiteral(" (%1 of %2 stay groups)").arg(done).arg(total);
    } else if (phase != Phase::Protocol) {
        // The protocol's parts (figures, check, text, PDF) are no steps the operator knows.
        const qint64 steps = total / unitsPerStep;
        text += QStringLiteral(" (step %1 of %2)").arg(finished ? steps : std::min(done / unitsPerStep + 1, steps)).arg(steps);
    }
    if (finished && failedStatements > 0)
        return text + QStringLiteral(", done, ") + statementsFailed(failedStatements);
    if (finished)
        return text + QStringLiteral(", done");
    if (const std::optional<qint64> left = secondsLeft())
        text += QStringLiteral(", about %1 left").arg(roughDuration(*left));
    return text;
}

} // namespace update
