#pragma once

#include <filesystem>
#include <map>
#include <string>

namespace testsupport {

// A Firebird root directory of a test's own: the installed root's messages, character sets and
// engine, with a databases.conf that maps only the given aliases. Point FIREBIRD at path().
class FirebirdRoot {
public:
    explicit FirebirdRoot(const std::map<std::string, std::string>& aliases);
    ~FirebirdRoot();
    FirebirdRoot(const FirebirdRoot&) = delete;
    FirebirdRoot& operator=(const FirebirdRoot&) = delete;

    std::string path() const { return directory_.string(); }

private:
    std::filesystem::path directory_;
};

} // namespace testsupport
