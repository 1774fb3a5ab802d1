#pragma once

#include "ui/OperatorPrompt.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace ui {

// Stands in for the operator: records what was asked and answers at once.
class RecordingPrompt final : public OperatorPrompt {
public:
    void info(int kind, QWidget*) override { infoKinds.push_back(kind); }
    void notice(const QString& text, QWidget*) override { notices.append(text); }
    void error(const QString& text, QWidget*) override { errors.append(text); }

    bool nothingAsked() const { return infoKinds.empty() && notices.isEmpty() && errors.isEmpty(); }

    std::vector<int> infoKinds;
    QStringList notices;
    QStringList errors;
};

} // namespace ui
