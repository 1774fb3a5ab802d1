#pragma once

#include "ui/OperatorPrompt.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace ui {

// Stands in for the operator: records what was asked and answers at once.
class RecordingPrompt final : public OperatorPrompt {
public:
    void info(int kind, QWidget*) override
    {
        infoKinds.push_back(kind);
        if (onInfo)
            onInfo(kind);
    }
    void notice(const QString& text, QWidget*) override { notices.append(text); }
    void error(const QString& text, QWidget*) override { errors.append(text); }
    bool question(const Question& question, QWidget*) override
    {
        questions.append(question.lines.join(QString()));
        asked.push_back(question);
        if (onQuestion)
            onQuestion();
        return goOn;
    }

    bool nothingAsked() const
    {
        return infoKinds.empty() && notices.isEmpty() && errors.isEmpty() && questions.isEmpty();
    }

    std::vector<int> infoKinds;
    // Called while the info dialog of the kind would be open.
    std::function<void(int)> onInfo;
    QStringList notices;
    QStringList errors;
    // Each question's markup lines joined, and the whole question as it was put.
    QStringList questions;
    std::vector<Question> asked;
    // The answer to every question.
    bool goOn = true;
    // Called while a question would be open.
    std::function<void()> onQuestion;
};

} // namespace ui
