#include "IsolatedUserState.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

IsolatedUserState::IsolatedUserState()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = (tmp && *tmp) ? tmp : "/tmp";
    pattern += "/ks-tests-user-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        // Better no test at all than tests that write into the user's own folders.
        std::perror("ks-tests: cannot make a temporary per-user folder");
        std::exit(2);
    }
    root = pattern;
    const struct {
        const char* variable;
        const char* folder;
    } folders[] = {
        {"HOME", "/home"},           {"XDG_CONFIG_HOME", "/config"}, {"XDG_DATA_HOME", "/data"},
        {"XDG_CACHE_HOME", "/cache"}, {"XDG_STATE_HOME", "/state"},   {"XDG_RUNTIME_DIR", "/runtime"},
    };
    for (const auto& f : folders) {
        const std::string path = root + f.folder;
        std::error_code ignored;
        std::filesystem::create_directories(path, ignored);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all, ignored);
        ::setenv(f.variable, path.c_str(), 1);
    }
}

IsolatedUserState::~IsolatedUserState()
{
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}
