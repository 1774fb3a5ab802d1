#pragma once

#include "ui/OperatorPrompt.h"

namespace ui {

// The real dialogs. Where no one can dismiss a box (offscreen or minimal platform) an info
// message, a notice, an error or a question goes to standard error instead of waiting for ever;
// a question then takes its unanswered answer.
class DialogPrompt final : public OperatorPrompt {
public:
    void info(int kind, QWidget* parent) override;
    void notice(const QString& text, QWidget* parent) override;
    void error(const QString& text, QWidget* parent) override;
    bool question(const Question& question, QWidget* parent) override;

    static bool platformHasNoScreen();
};

} // namespace ui
