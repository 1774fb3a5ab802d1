#include "app/ProtocolPdfProcess.h"

#include "app/LayoutProcess.h"

#include <memory>

namespace app {

update::UpdateSession::PdfLayout protocolPdfProcess(update::StopProbe stop)
{
    // Started now, with the command; a second document gets a process of its own, which its draft starts.
    auto early = std::make_shared<std::unique_ptr<LayoutProcess>>(std::make_unique<LayoutProcess>(stop));
    return {[stop, early](const QByteArray& json, QString& why) {
                const std::unique_ptr<LayoutProcess> layout =
                    *early ? std::move(*early) : std::make_unique<LayoutProcess>(stop);
                return layout->lay(json, why);
            },
            [stop, early](const QByteArray& json) {
                if (!*early || (*early)->drafted())
                    *early = std::make_unique<LayoutProcess>(stop);
                (*early)->draft(json);
            }};
}

} // namespace app
