#include "ui/DialogPrompt.h"

#include "ui/D08_Info.h"
#include "ui/D08_Question.h"
#include "ui/FormLook.h"
#include "update/VisibleText.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QTextDocumentFragment>
#include <QRegularExpression>

#include <cstdio>
#include <utility>

namespace ui {

namespace {

void writeToStandardError(const QString& text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    update::writeVisible(stderr, lines + QLatin1Char('\n'));
}

} // namespace

bool DialogPrompt::platformHasNoScreen()
{
    const QString platform = QGuiApplication::platformName();
    return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal");
}

void DialogPrompt::info(int kind, QWidget* parent)
{
    if (platformHasNoScreen()) {
        writeToStandardError(QTextDocumentFragment::fromHtml(infoMessageLines(kind).join(QString())).toPlainText());
        return;
    }
    ShowInfo(kind, parent);
}

void DialogPrompt::notice(const QString& text, QWidget* parent)
{
    if (platformHasNoScreen()) {
        writeToStandardError(text);
        return;
    }
    QMessageBox::information(parent, kFormCaption, text);
}

void DialogPrompt::error(const QString& text, QWidget* parent)
{
    if (platformHasNoScreen()) {
        writeToStandardError(text);
        return;
    }
    // Engine messages quote hotel data: shown as they are, never as markup.
    QMessageBox box(QMessageBox::Critical, kFormCaption, update::visibleLines(text), QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool DialogPrompt::question(const Question& question, QWidget* parent)
{
    // Nobody could answer: say it, with what lies behind it, and take the question's own answer.
    if (platformHasNoScreen()) {
        QString text = question.lines.join(QString());
        text.replace(QStringLiteral("<br>"), QStringLiteral("\n"));
        text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
        // Names were escaped for the markup; the terminal shows them as they are.
        for (const auto& [entity, character] : {std::pair{"&lt;", '<'}, std::pair{"&gt;", '>'}, std::pair{"&quot;", '"'},
                                                std::pair{"&amp;", '&'}})
            text.replace(QLatin1String(entity), QString(QLatin1Char(character)));
        writeToStandardError(question.details.isEmpty() ? text.trimmed() : text.trimmed() + QLatin1Char('\n') + question.details.trimmed());
        return question.goOnUnanswered;
    }
    return askToContinue(question, parent);
}

} // namespace ui
