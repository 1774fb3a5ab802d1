#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace ui {

// A question with "Pokračovat" and "Zrušit": what it says, and which answer is taken when the
// operator only presses Enter or nobody can answer at all.
struct Question {
    QStringList lines{}; // markup in the info dialog's look
    QString details{};   // plain text the operator can open below; none when empty
    // The focus starts on "Pokračovat" and Enter goes on; otherwise both stay on "Zrušit".
    // Escape always cancels.
    bool goOnIsFocused = false;
    // The answer where no one could see the question (no screen): true to go on.
    bool goOnUnanswered = false;
};

// Every question or notice to the operator goes through one of these, so tests can answer and
// record them instead of a person.
class OperatorPrompt {
public:
    virtual ~OperatorPrompt() = default;

    // The info dialog with message kind 1 to 5; returns once it is closed.
    virtual void info(int kind, QWidget* parent) = 0;
    // A plain message box with one OK button (the settings notice).
    virtual void notice(const QString& text, QWidget* parent) = 0;
    // An error that ended what the operator started.
    virtual void error(const QString& text, QWidget* parent) = 0;
    // The question in the info dialog's look; true when the operator goes on.
    virtual bool question(const Question& question, QWidget* parent) = 0;
};

} // namespace ui
