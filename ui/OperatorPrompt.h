#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace ui {

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
    // A question in the info dialog's look (markup lines) with "Pokračovat" and "Zrušit"; true
    // when the operator goes on.
    virtual bool question(const QStringList& lines, QWidget* parent) = 0;
};

} // namespace ui
