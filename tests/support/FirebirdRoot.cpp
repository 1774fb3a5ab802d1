#include "FirebirdRoot.h"

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace testsupport {

FirebirdRoot::FirebirdRoot(const std::map<std::string, std::string>& aliases)
{
    std::string pattern = (std::filesystem::temp_directory_path() / "dph2012-root-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary directory");
    directory_ = pattern;
    namespace fs = std::filesystem;
    for (const fs::directory_entry& entry : fs::directory_iterator(FIREBIRD_SYSTEM_ROOT)) {
        const fs::path name = entry.path().filename();
        if (name == "databases.conf")
            continue;
        // The engine does not load its character-set module through a link.
        if (name == "intl")
            fs::copy(entry.path(), directory_ / name, fs::copy_options::recursive | fs::copy_options::copy_symlinks);
        else
            fs::create_symlink(entry.path(), directory_ / name);
    }
    std::ofstream conf(directory_ / "databases.conf");
    for (const auto& [alias, file] : aliases)
        conf << alias << " = " << file << "\n";
    if (!conf)
        throw std::runtime_error("cannot write databases.conf");
}

FirebirdRoot::~FirebirdRoot()
{
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

} // namespace testsupport
