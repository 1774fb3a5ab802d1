#pragma once

#include "update/UpdateSession.h"

#include <QWidget>

#include <memory>

class QLabel;

namespace ui {

class CircularProgress;
class GlowButton;
class OfficeRadioGroup;
class OperatorPrompt;
class ReflectionLabel;
class SmoothProgressBar;

// The program's only window: the eight steps, the option for staying guests, the connection
// status, progress and the command buttons. It owns the update session for the whole run.
class TFormD08Main : public QWidget {
    Q_OBJECT
public:
    // Asks the operator through the real dialogs.
    explicit TFormD08Main(const QString& programDir, QWidget* parent = nullptr);
    // Asks the operator through the given prompt, which must outlive the window.
    TFormD08Main(const QString& programDir, OperatorPrompt& prompt, QWidget* parent = nullptr);
    ~TFormD08Main() override;

    update::UpdateSession& session() { return session_; }
    OperatorPrompt& prompt() { return prompt_; }

    // The info dialog of the kind, through the window's prompt.
    void ShowInfo(int kind);

    ReflectionLabel* AdvReflectionLabel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label10 = nullptr;
    QLabel* Label2 = nullptr;
    CircularProgress* AdvCircularProgress1 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label7 = nullptr;
    QLabel* Label8 = nullptr;
    OfficeRadioGroup* AdvOfficeRadioGroup1 = nullptr;
    QLabel* Label9 = nullptr;
    GlowButton* AdvGlowButton1 = nullptr;
    GlowButton* AdvGlowButton3 = nullptr;
    GlowButton* AdvGlowButton4 = nullptr;
    SmoothProgressBar* AdvProgress1 = nullptr;
    GlowButton* AdvGlowButton2 = nullptr;

public slots:
    // Opens the connection and shows its outcome; runs when the window is first shown.
    void FormShow();

protected:
    void showEvent(QShowEvent* event) override;

private:
    TFormD08Main(const QString& programDir, OperatorPrompt* prompt, QWidget* parent);

    void createControls();
    void FormCreate();
    void LoadSettings();

    std::unique_ptr<OperatorPrompt> ownPrompt_;
    OperatorPrompt& prompt_;
    update::UpdateSession session_;
    bool shownBefore_ = false;
};

} // namespace ui
