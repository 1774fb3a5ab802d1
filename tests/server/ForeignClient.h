#pragma once

#include <ibase.h>

#include <stdexcept>
#include <string>

// Another client of the hotel's database, attached for as long as the object lives, that says of
// itself whatever it likes: its process name goes to the server as given, byte for byte.
namespace testsupport::server {

class ForeignClient {
public:
    ForeignClient(const std::string& database, const std::string& processName, const std::string& password)
    {
        std::string dpb(1, static_cast<char>(isc_dpb_version1));
        const auto add = [&dpb](char tag, const std::string& value) {
            if (value.size() > 255)
                throw std::invalid_argument("a parameter of at most 255 bytes");
            dpb += tag;
            dpb += static_cast<char>(value.size());
            dpb += value;
        };
        add(isc_dpb_user_name, "SYSDBA");
        add(isc_dpb_password, password);
        add(isc_dpb_process_name, processName);
        ISC_STATUS_ARRAY status{};
        if (isc_attach_database(status, 0, database.c_str(), &handle_, static_cast<short>(dpb.size()), dpb.data()) != 0)
            throw std::runtime_error("the foreign client could not attach to " + database);
    }
    ~ForeignClient()
    {
        ISC_STATUS_ARRAY status{};
        isc_detach_database(status, &handle_);
    }
    ForeignClient(const ForeignClient&) = delete;
    ForeignClient& operator=(const ForeignClient&) = delete;

private:
    isc_db_handle handle_ = 0;
};

} // namespace testsupport::server
