#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;

namespace ui {

class GlowButton;

// The markup lines of info message kind 1 to 5; throws std::out_of_range for any other kind.
QStringList infoMessageLines(int kind);

// A small modal dialog with one formatted message and an OK button.
class TFormD08Info : public QDialog {
    Q_OBJECT
public:
    explicit TFormD08Info(QWidget* parent = nullptr);

    // Replaces the label's markup by the lines of the kind.
    void setMessage(int kind);

    QLabel* DBHTMLabel1 = nullptr;
    GlowButton* AdvGlowButton2 = nullptr;
};

// Shows the message of the kind in a dialog of its own and returns once the operator closed it;
// in automatic mode it returns at once without creating anything.
void ShowInfo(int kind, QWidget* parent = nullptr);

} // namespace ui
