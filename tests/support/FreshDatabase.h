#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

enum class HotelData {
    Base, // schema, the hotel's procedures and its basic settings, no guests
    Demo, // Base plus the demo hotel's guests, stays, accounts and stock
    ManyGroups, // Demo plus 400 generated stay groups, most of them over 31.12.2011
};

// A private copy of a stand-in hotel database in a directory of its own, removed with the object.
class FreshDatabase {
public:
    explicit FreshDatabase(HotelData data = HotelData::Base);
    ~FreshDatabase();
    FreshDatabase(const FreshDatabase&) = delete;
    FreshDatabase& operator=(const FreshDatabase&) = delete;

    // The database file, usable as a Firebird connection string with the embedded engine.
    std::string path() const { return file_.string(); }
    const std::filesystem::path& directory() const { return directory_; }

private:
    std::filesystem::path directory_;
    std::filesystem::path file_;
};

} // namespace testsupport
