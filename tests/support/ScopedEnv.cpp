#include "ScopedEnv.h"

#include <cstdlib>

ScopedEnv::ScopedEnv(const char* n, const std::string& value) : name(n)
{
    if (const char* v = std::getenv(n)) {
        had = true;
        old = v;
    }
    ::setenv(n, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv()
{
    if (had) ::setenv(name.c_str(), old.c_str(), 1);
    else ::unsetenv(name.c_str());
}
