#include "db/DatabaseShutdown.h"

#include "db/EngineError.h"
#include "db/EngineErrorFromStatus.h"
#include "db/ServiceBackup.h"
#include "db/ServiceSession.h"

#include <optional>

namespace db {

using namespace Firebird;

namespace {

void changeState(const std::string& connectionString, const detail::ServiceLogin& login, std::optional<Shutdown> shutDown)
{
    IMaster* master = fb_get_master_interface();
    if (!master)
        throw Error("the Firebird client library is not usable");
    const ServiceTarget target = serviceTargetOf(connectionString);
    try {
        detail::ServiceSession service(master, target.serviceManager, login);
        service.start([&](IXpbBuilder& start, ThrowStatusWrapper* status) {
            start.insertTag(status, isc_action_svc_properties);
            start.insertString(status, isc_spb_dbname, target.database.c_str());
            if (shutDown) {
                const unsigned char mode = *shutDown == Shutdown::Full ? isc_spb_prp_sm_full : isc_spb_prp_sm_single;
                start.insertBytes(status, isc_spb_prp_shutdown_mode, &mode, 1);
                start.insertInt(status, isc_spb_prp_force_shutdown, 0);
            } else {
                const unsigned char normal = isc_spb_prp_sm_normal;
                start.insertBytes(status, isc_spb_prp_online_mode, &normal, 1);
            }
        });
        detail::followService(service, [](const std::string&) {}, {}, {});
    } catch (const FbException& e) {
        throw detail::engineErrorFrom(e);
    }
}

} // namespace

void shutDownDatabase(const std::string& connectionString, const std::string& user, const std::string& password,
                      unsigned connectTimeout, Shutdown mode)
{
    changeState(connectionString, {user, password, connectTimeout}, mode);
}

void bringDatabaseOnline(const std::string& connectionString, const std::string& user, const std::string& password,
                         unsigned connectTimeout)
{
    changeState(connectionString, {user, password, connectTimeout}, std::nullopt);
}

} // namespace db
