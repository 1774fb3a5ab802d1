#pragma once

#include <QStringList>

class QWidget;

namespace update {
struct OtherAttachments;
}

namespace ui {

// The markup lines of the question about other attachments, in the info dialog's markup.
QStringList otherAttachmentsQuestion(const update::OtherAttachments& others);

// The info dialog's look with "Pokračovat" and "Zrušit": true when the operator goes on.
bool askToContinue(const QString& markup, QWidget* parent = nullptr);

} // namespace ui
