#pragma once

#include "update/Stop.h"

#include <QByteArray>
#include <QProcess>
#include <QString>

namespace app {

// One `--protocol-pdf` process, started at once so that its graphics start-up overlaps the
// command; it lays out the one document it is given. Ended by its id if never given one.
class LayoutProcess {
public:
    explicit LayoutProcess(update::StopProbe stop);
    LayoutProcess(const LayoutProcess&) = delete;
    LayoutProcess& operator=(const LayoutProcess&) = delete;
    ~LayoutProcess();

    // The document before its check, measured while the check runs; once, before `lay`.
    void draft(const QByteArray& json);
    bool drafted() const { return drafted_; }
    // The PDF of `json`, or empty with `why` filled.
    QByteArray lay(const QByteArray& json, QString& why);

private:
    bool stopped() const;
    void end();

    const update::StopProbe stop_;
    QProcess process_;
    bool drafted_ = false;
};

} // namespace app
