#pragma once

#include "ui/D08_Info.h"
#include "ui/OperatorPrompt.h"

#include <QStringList>

class QPlainTextEdit;

namespace update {
struct OtherAttachments;
struct RehearsalReport;
}

namespace ui {

// The markup lines of the question about other attachments, in the info dialog's markup.
QStringList otherAttachmentsQuestion(const update::OtherAttachments& others);

// The question after the rehearsal: what it found in short, the whole report behind
// "Podrobnosti", and "Zrušit" as the answer to Enter (and with no one to answer) when it found
// problems, "Pokračovat" when it found none.
Question rehearsalQuestion(const update::RehearsalReport& report);
// The rehearsal's whole report for the operator, one fact a line.
QString rehearsalDetails(const update::RehearsalReport& report);

// The info dialog's look with "Pokračovat" (accepts) and "Zrušit" (rejects) under the markup;
// with details, "Podrobnosti" shows or hides them in a read-only area below, and the dialog grows
// to hold it.
class TFormD08Question : public TFormD08Info {
    Q_OBJECT
public:
    explicit TFormD08Question(const Question& question, QWidget* parent = nullptr);

    GlowButton* AdvGlowButton3 = nullptr;
    // Only when the question has details.
    GlowButton* AdvGlowButton4 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;

private:
    void toggleDetails();
};

// Asks in a TFormD08Question: true when the operator goes on.
bool askToContinue(const Question& question, QWidget* parent = nullptr);

} // namespace ui
