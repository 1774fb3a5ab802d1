#include "ui/DialogPrompt.h"

#include "ui/D08_Info.h"
#include "ui/D08_Question.h"
#include "ui/FormLook.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QTextDocumentFragment>
#include <QRegularExpression>

#include <cstdio>

namespace ui {

namespace {

void writeToStandardError(const QString& text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    std::fprintf(stderr, "%s\n", lines.toLocal8Bit().constData());
    std::fflush(stderr);
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
    QMessageBox::critical(parent, kFormCaption, text);
}

bool DialogPrompt::question(const QStringList& lines, QWidget* parent)
{
    // Nobody could answer: say it and go on, as an unattended run does.
    if (platformHasNoScreen()) {
        QString text = lines.join(QString());
        text.replace(QStringLiteral("<br>"), QStringLiteral("\n"));
        writeToStandardError(text.remove(QRegularExpression(QStringLiteral("<[^>]*>"))).trimmed());
        return true;
    }
    return askToContinue(lines.join(QString()), parent);
}

} // namespace ui
