#pragma once

#include "ui/D08_Info.h"

#include <QStringList>

namespace update {
struct OtherAttachments;
struct RehearsalReport;
}

namespace ui {

// The markup lines of the question about other attachments, in the info dialog's markup.
QStringList otherAttachmentsQuestion(const update::OtherAttachments& others);

// The markup lines of the question after the rehearsal: what it found, and whether to go on.
QStringList rehearsalQuestion(const update::RehearsalReport& report);

// The info dialog's look with "Pokračovat" (accepts) and "Zrušit" (rejects) under the markup.
class TFormD08Question : public TFormD08Info {
    Q_OBJECT
public:
    explicit TFormD08Question(const QString& markup, QWidget* parent = nullptr);

    GlowButton* AdvGlowButton3 = nullptr;
};

// Asks in a TFormD08Question: true when the operator goes on.
bool askToContinue(const QString& markup, QWidget* parent = nullptr);

} // namespace ui
