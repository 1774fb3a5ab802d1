#include "app/ProtocolCommand.h"

#include "app/TerminalView.h"
#include "protocol/NightProtocolFile.h"
#include "update/VisibleText.h"
#include "update/safety/OwnFile.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

namespace app {

int runProtocolCommand(const QString& programDir, const QString& file)
{
    QString text;
    if (file.isEmpty()) {
        const QStringList protocols = QDir(programDir).entryList({update::kProtocolFilePrefix + QStringLiteral("*.txt")},
                                                                 QDir::Files, QDir::Time);
        if (protocols.isEmpty()) {
            TerminalView::say(QStringLiteral("no night's protocol in %1").arg(programDir));
            return 2;
        }
        text = QDir(programDir).filePath(protocols.front());
    } else {
        const QFileInfo named(file);
        text = named.absolutePath() + QLatin1Char('/') + named.completeBaseName() + QStringLiteral(".txt");
    }
    // Written by this program alone: whatever else lies there under that name is not printed.
    const std::optional<QByteArray> content = update::readOwnFile(text);
    if (!content) {
        TerminalView::say(QStringLiteral("%1 is not a night's protocol that this program wrote").arg(text));
        return 2;
    }
    update::writeVisible(stdout, QString::fromUtf8(*content));
    return 0;
}

} // namespace app
