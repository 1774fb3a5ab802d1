#pragma once

#include <QString>

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <string>

namespace update {

class UpdateSession;
class UpdateView;

// A services-manager job (a backup, a restore) as the worker thread runs it: its progress lines
// go to the first argument, the second tells it to stop; it returns the size it reports having
// written, if any.
using ServiceJob = std::function<std::optional<std::uint64_t>(const std::function<void(const std::string&)>&,
                                                                const std::function<bool()>&)>;

// How a job ended.
struct ServiceOutcome {
    std::optional<std::uint64_t> written; // the size the service reported
    std::exception_ptr failure;
    bool stopped = false;      // a stop signal came first
    bool fileMayRemain = true; // when stopped: the service may have left an unfinished file
};

// Runs the job on a worker thread while the window's thread keeps processing its messages, and
// shows its progress through `show`: by the size of `localFile` about once a second when it is
// this machine's own (the job then gets no lines, which spares the service its verbose output),
// else by the service's lines. A stop signal asks the worker to abandon the service, unless the
// session holds stops; a worker that does not end soon after (a hung server) is left behind
// rather than waited for. When `sized` is given, it gets the local file's size each second
// instead of `show`.
ServiceOutcome runKeepingWindowAlive(ServiceJob job, const QString& localFile, const std::function<void(const QString&)>& show,
                                     UpdateView& view, const UpdateSession& session,
                                     const std::function<void(qint64)>& sized = {});

// Why a job failed, for the log and the operator: an engine error's three values or the text.
QString failureText(const std::exception_ptr& failure);

} // namespace update
