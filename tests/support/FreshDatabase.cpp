#include "FreshDatabase.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace testsupport {

FreshDatabase::FreshDatabase(HotelData data)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "dph2012-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary directory");
    directory_ = pattern;
    file_ = directory_ / "hotel.fdb";
    const std::filesystem::path source = std::filesystem::path(HOTEL_TEMPLATE_DIR)
        / (data == HotelData::Demo ? "hotel_demo.fdb" : data == HotelData::ManyGroups ? "hotel_many.fdb" : "hotel_base.fdb");
    std::filesystem::copy_file(source, file_);
}

FreshDatabase::~FreshDatabase()
{
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

} // namespace testsupport
