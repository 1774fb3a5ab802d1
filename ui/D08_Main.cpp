#include "ui/D08_Main.h"

#include "ui/D08_Question.h"
#include "ui/DialogPrompt.h"
#include "ui/Fonts.h"
#include "ui/FormLook.h"
#include "ui/ProtocolPdf.h"
#include "ui/widgets/CircularProgress.h"
#include "ui/widgets/GlowButton.h"
#include "ui/widgets/OfficeRadioGroup.h"
#include "ui/widgets/ReflectionLabel.h"
#include "ui/widgets/SmoothProgressBar.h"
#include "commands/FullUpdate.h"
#include "update/safety/OtherAttachments.h"
#include "update/Settings.h"
#include "commands/StayingGuestsAlone.h"
#include "update/StayingGuests.h"
#include "commands/StockAndBanquets.h"
#include "update/safety/UpdateClaim.h"
#include "update/VisibleText.h"

#include <QCloseEvent>
#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QTextDocument>

#include <array>
#include <cstdio>
#include <vector>

namespace ui {

namespace {

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry, int pixelHeight)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setFont(tahoma(pixelHeight));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    narrowToFit(*label, text, geometry.width());
    return label;
}

GlowButton* makeButton(QWidget* parent, const char* name, const QString& text, QRect geometry, int pixelHeight,
                       bool bold)
{
    auto* button = new GlowButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setFont(tahoma(pixelHeight, bold));
    narrowToFit(*button, text, geometry.width() - 12);
    return button;
}

} // namespace

TFormD08Main::TFormD08Main(const QString& programDir, QWidget* parent)
    : TFormD08Main(programDir, nullptr, parent)
{
}

TFormD08Main::TFormD08Main(const QString& programDir, OperatorPrompt& prompt, QWidget* parent)
    : TFormD08Main(programDir, &prompt, parent)
{
}

TFormD08Main::TFormD08Main(const QString& programDir, OperatorPrompt* prompt, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint),
      ownPrompt_(prompt ? nullptr : std::make_unique<DialogPrompt>()),
      prompt_(prompt ? *prompt : *ownPrompt_),
      session_(programDir)
{
    createControls();
    session_.setWritesProtocols(true);
    // The window has the fonts the layout needs.
    session_.setPdfMaker([](const QByteArray& json, QString&) {
        return protocolPdf(update::ProtocolDocument::fromJson(json));
    });
    session_.log().setFailureReporter([this](const QString& file, const QString& reason) {
        const QString text = QString::fromUtf8("Protokol %1 nelze zapsat: %2").arg(file, reason);
        Label10->setText(text);
        Label10->setToolTip(text);
        // A phase's progress that covers it for now gives it back at the phase's end.
        if (statusBeforeProgress_)
            statusBeforeProgress_.emplace(text, text);
    });
    FormCreate();
}

TFormD08Main::~TFormD08Main() = default;

void TFormD08Main::createControls()
{
    setObjectName(QStringLiteral("FormD08Main"));
    applyFormLook(*this, 592, 576);

    AdvReflectionLabel1 = new ReflectionLabel(this);
    AdvReflectionLabel1->setObjectName(QStringLiteral("AdvReflectionLabel1"));
    AdvReflectionLabel1->setGeometry(375, 8, 209, 40);
    AdvReflectionLabel1->setFont(tahoma(21, true));
    AdvReflectionLabel1->setReflectionHeight(20);
    AdvReflectionLabel1->setMarkup(QStringLiteral(R"(<B>Kalmor <FONT color="#FF0000">DPH 2012</FONT></B>)"));

    Label1 = makeLabel(this, "Label1", QStringLiteral("Jednotlivé kroky aktualizace:"), {24, 48, 202, 19}, 16);

    Label10 = makeLabel(this, "Label10", QString(), {392, 51, 168, 16}, 11);
    Label10->setAlignment(Qt::AlignRight | Qt::AlignTop);
    QPalette navy = Label10->palette();
    navy.setColor(QPalette::WindowText, QColor(0x000080));
    Label10->setPalette(navy);

    Label2 = makeLabel(this, "Label2", QStringLiteral("1. Změna daňové tabulky pro POS"), {52, 73, 194, 16}, 13);

    AdvCircularProgress1 = new CircularProgress(this);
    AdvCircularProgress1->setObjectName(QStringLiteral("AdvCircularProgress1"));
    AdvCircularProgress1->setGeometry(500, 73, 60, 60);
    AdvCircularProgress1->hide();

    Label3 = makeLabel(this, "Label3", QStringLiteral("2. Změna daňové tabulky pro FBS"), {52, 95, 192, 16}, 13);
    Label4 = makeLabel(this, "Label4", QStringLiteral("3. Změna daňových sazeb u služeb pro REC"), {52, 117, 249, 16}, 13);
    Label5 = makeLabel(this, "Label5", QStringLiteral("4. Změna základních sazeb DPH v systémových nastaveních"),
                       {52, 139, 338, 16}, 13);
    Label6 = makeLabel(this, "Label6", QStringLiteral("5. Přepočet sazby DPH u již pořízených rezervací"),
                       {52, 161, 277, 16}, 13);
    Label7 = makeLabel(this, "Label7",
                       QStringLiteral("6. Aktualizace zpracování hotelových účtů - zajištění správné sazby DPH 2011 / 2012"),
                       {52, 183, 481, 16}, 13);
    Label8 = makeLabel(this, "Label8", QStringLiteral("7. Přechod na nový rok 1.1.2012 u ubytovaných hostů"),
                       {52, 205, 305, 16}, 13);

    AdvOfficeRadioGroup1 = new OfficeRadioGroup(
        QStringLiteral("Volba pro zpracování bydlících hostů 1.1.2012"),
        {QStringLiteral("a) Nic nedělat"),
         QStringLiteral("b) Rozdělení pobytů na dva kdy první končí 31.12.2011"),
         QStringLiteral("c) Rozdělení pobytů na dva kdy první končí 31.12.2011 a uzavření 1. pobytu"),
         QStringLiteral("d) uzavření celých pobytů s nastavením DUZP na 31.12.2011")},
        this);
    AdvOfficeRadioGroup1->setObjectName(QStringLiteral("AdvOfficeRadioGroup1"));
    AdvOfficeRadioGroup1->setGeometry(104, 227, 429, 105);
    AdvOfficeRadioGroup1->setItemIndex(0);

    Label9 = makeLabel(this, "Label9", QStringLiteral("8. Aktualizace systému pro zpracování záloh mezi roky 2011 / 2012"),
                       {52, 333, 384, 16}, 13);

    AdvGlowButton1 = makeButton(this, "AdvGlowButton1", QStringLiteral("Spusť aktualizaci"), {52, 361, 481, 41}, 16, true);
    AdvGlowButton3 = makeButton(this, "AdvGlowButton3", QStringLiteral("Spusť pouze krok 7 (lze kdykoli  předem)"),
                                {52, 408, 481, 41}, 16, false);
    AdvGlowButton4 = makeButton(this, "AdvGlowButton4",
                                QStringLiteral("Aktualizace DPH u skladových položek a rautů po 1.1.2012"),
                                {52, 453, 481, 41}, 16, true);

    AdvProgress1 = new SmoothProgressBar(this);
    AdvProgress1->setObjectName(QStringLiteral("AdvProgress1"));
    AdvProgress1->setGeometry(52, 504, 481, 17);

    AdvGlowButton2 = makeButton(this, "AdvGlowButton2", QStringLiteral("Konec"), {204, 527, 174, 41}, 13, false);
    connect(AdvGlowButton1, &QPushButton::clicked, this, &TFormD08Main::AdvGlowButton1Click);
    connect(AdvGlowButton3, &QPushButton::clicked, this, &TFormD08Main::AdvGlowButton3Click);
    connect(AdvGlowButton4, &QPushButton::clicked, this, &TFormD08Main::AdvGlowButton4Click);
    connect(AdvGlowButton2, &QPushButton::clicked, this, &QWidget::close);

    // Tab stops at neither the progress bar nor the group frame, but both keep their place in the
    // order; Qt orders only focusable widgets, so they are focusable while it is set.
    AdvProgress1->setFocusPolicy(Qt::TabFocus);
    AdvOfficeRadioGroup1->setFocusPolicy(Qt::TabFocus);
    std::vector<QWidget*> order = {AdvGlowButton1, AdvProgress1, AdvOfficeRadioGroup1};
    for (int index = 0; index < AdvOfficeRadioGroup1->count(); ++index)
        order.push_back(AdvOfficeRadioGroup1->item(index));
    order.insert(order.end(), {AdvGlowButton2, AdvGlowButton3, AdvGlowButton4});
    for (std::size_t index = 1; index < order.size(); ++index)
        setTabOrder(order[index - 1], order[index]);
    AdvProgress1->setFocusPolicy(Qt::NoFocus);
    AdvOfficeRadioGroup1->setFocusPolicy(Qt::NoFocus);

    centreOnScreen(*this, QGuiApplication::primaryScreen());
}

void TFormD08Main::FormCreate()
{
    AdvGlowButton1->setFontColor(QColor(0xFF0000));
    LoadSettings();
}

void TFormD08Main::LoadSettings()
{
    session_.apply(update::LoadSettings(session_.programDir()));
    const QString notice = update::SettingsNotice(session_.settings());
    if (!notice.isEmpty())
        prompt_.notice(notice, this);
}

void TFormD08Main::FormShow()
{
    if (session_.connect()) {
        Label10->setText(QStringLiteral("Database connect OK"));
        return;
    }
    Label10->setText(QStringLiteral("Database connect ERROR"));
    // A stop signal gave the attempt up: the window closes, nobody needs to be told.
    if (session_.stopSignal() == 0)
        ShowInfo(4);
}

void TFormD08Main::AdvGlowButton1Click()
{
    runUnlessACommandRuns(&update::RunFullUpdate);
}

void TFormD08Main::AdvGlowButton3Click()
{
    runUnlessACommandRuns(&update::RunStayingGuestsAlone);
}

void TFormD08Main::AdvGlowButton4Click()
{
    runUnlessACommandRuns(&update::UpdateStockAndBanquets);
}

void TFormD08Main::runUnlessACommandRuns(bool (*command)(update::UpdateSession&, update::UpdateView&))
{
    if (commandRunning_)
        return;
    {
        const QScopedValueRollback<bool> running(commandRunning_, true);
        // A command runs with the option it started with, a rehearsal's real run included.
        AdvOfficeRadioGroup1->setEnabled(false);
        const auto optionBack = qScopeGuard([this] { AdvOfficeRadioGroup1->setEnabled(true); });
        command(session_, *this);
    }
    // The program's exit status tells which signal it was.
    if (session_.stopSignal() != 0)
        QCoreApplication::quit();
}

void TFormD08Main::stopOnSignal()
{
    const int signal = session_.stopSignal();
    if (signal == 0)
        return;
    if (commandRunning_) {
        if (QWidget* dialog = QApplication::activeModalWidget())
            dialog->close();
        return;
    }
    update::StopRun(session_, signal);
    QCoreApplication::quit();
}

bool TFormD08Main::stopAsked() const
{
    return session_.stopSignal() != 0;
}

void TFormD08Main::ShowInfo(int kind)
{
    if (!stopAsked())
        prompt_.info(kind, this);
}

int TFormD08Main::stayingGuestsOption() const
{
    return AdvOfficeRadioGroup1->itemIndex();
}

GlowButton* TFormD08Main::button(update::CommandButton which) const
{
    switch (which) {
    case update::CommandButton::RunAll:
        return AdvGlowButton1;
    case update::CommandButton::Step7:
        return AdvGlowButton3;
    case update::CommandButton::Close:
        return AdvGlowButton2;
    case update::CommandButton::Stock:
        break;
    }
    return AdvGlowButton4;
}

bool TFormD08Main::isButtonEnabled(update::CommandButton which) const
{
    return button(which)->isEnabled();
}

void TFormD08Main::setButtonEnabled(update::CommandButton which, bool enabled)
{
    button(which)->setEnabled(enabled);
}

void TFormD08Main::markFullUpdateDone()
{
    AdvGlowButton1->setFontColor(QColor(Qt::black));
    AdvGlowButton2->setFontColor(QColor(0xFF0000));
}

void TFormD08Main::setIndicatorRunning(bool running)
{
    AdvCircularProgress1->setVisible(running);
    if (running)
        AdvCircularProgress1->start();
    else
        AdvCircularProgress1->stop();
}

void TFormD08Main::setProgressMaximum(int maximum)
{
    AdvProgress1->setMaximum(maximum);
}

void TFormD08Main::setProgress(int position)
{
    AdvProgress1->setValue(position);
}

void TFormD08Main::markStepDone(int step)
{
    colourStep(step, QColor(0x008000));
}

void TFormD08Main::markStepFailed(int step)
{
    colourStep(step, QColor(0xFF0000));
}

void TFormD08Main::colourStep(int step, const QColor& colour)
{
    const std::array<QLabel*, 8> steps = {Label2, Label3, Label4, Label5, Label6, Label7, Label8, Label9};
    QLabel* label = steps.at(step - 1);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

void TFormD08Main::processPendingMessages()
{
    QCoreApplication::processEvents();
}

void TFormD08Main::showCommandError(const QString& text)
{
    if (!stopAsked())
        prompt_.error(text, this);
}

bool TFormD08Main::continueDespite(const update::OtherAttachments& others)
{
    // Enter keeps the safe answer; with no one to answer the run goes on, as an unattended one does.
    if (stopAsked())
        return false;
    return prompt_.question({.lines = ui::otherAttachmentsQuestion(others), .goOnUnanswered = true}, this);
}

void TFormD08Main::showBackupProgress(const QString& line)
{
    showProgressInStatus(QString::fromUtf8("Záloha: "), line);
}

void TFormD08Main::showRehearsalProgress(const QString& line)
{
    showProgressInStatus(QString::fromUtf8("Zkouška: "), line);
}

void TFormD08Main::showRestoreProgress(const QString& line)
{
    showProgressInStatus(QString::fromUtf8("Návrat: "), line);
}

void TFormD08Main::showPhaseProgress(const update::PhaseProgress& progress)
{
    // The update's own bar counts its eight steps; the other phases borrow the bar for percent.
    if (progress.phase != update::Phase::Update) {
        if (!barBeforePhase_)
            barBeforePhase_.emplace(AdvProgress1->maximum(), AdvProgress1->value());
        AdvProgress1->setMaximum(100);
        AdvProgress1->setValue(progress.percent().value_or(0));
    }
    // Until something is done the status keeps what the phase said it began with (the file).
    if (!progress.finished) {
        if (progress.done > 0 || !progress.totalKnown())
            showProgressInStatus(QString(), progress.czech());
        return;
    }
    showProgressInStatus(QString(), QString());
}

void TFormD08Main::giveBackTheBar()
{
    if (!barBeforePhase_)
        return;
    AdvProgress1->setMaximum(barBeforePhase_->first);
    AdvProgress1->setValue(barBeforePhase_->second);
    barBeforePhase_.reset();
}

void TFormD08Main::showProgressInStatus(const QString& prefix, const QString& line)
{
    // The status line goes back to what it said before, a run log failure included, and the bar
    // too: a phase that an error or a stop cut short has not given it back.
    if (line.isEmpty()) {
        giveBackTheBar();
        if (statusBeforeProgress_) {
            Label10->setText(statusBeforeProgress_->first);
            Label10->setToolTip(statusBeforeProgress_->second);
            statusBeforeProgress_.reset();
        }
        return;
    }
    if (!statusBeforeProgress_)
        statusBeforeProgress_.emplace(Label10->text(), Label10->toolTip());
    // The end of a line (the table, the count) is what changes; the label is narrow. A server's
    // lines name the hotel's tables: shown as text, never as markup.
    const QString shown = update::visibleText(line);
    const QFontMetrics metrics = Label10->fontMetrics();
    const QString tip = prefix + shown;
    Label10->setToolTip(Qt::mightBeRichText(tip) ? QStringLiteral("<qt>") + tip.toHtmlEscaped() + QStringLiteral("</qt>")
                                                 : tip);
    Label10->setText(prefix
                     + metrics.elidedText(shown, Qt::ElideLeft, Label10->width() - metrics.horizontalAdvance(prefix)));
}

bool TFormD08Main::continueAfterRehearsal(const update::RehearsalReport& report)
{
    return !stopAsked() && prompt_.question(rehearsalQuestion(report), this);
}

void TFormD08Main::showRefusal(const update::Refusal& refusal)
{
    if (!stopAsked())
        prompt_.error(refusal.shown, this);
}

void TFormD08Main::closeEvent(QCloseEvent* event)
{
    if (commandRunning_) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void TFormD08Main::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (shownBefore_)
        return;
    shownBefore_ = true;
    AdvGlowButton2->setFocus();
    // Let the window paint before the connection attempt, which may block or open a dialog.
    QMetaObject::invokeMethod(this, &TFormD08Main::FormShow, Qt::QueuedConnection);
}

} // namespace ui
