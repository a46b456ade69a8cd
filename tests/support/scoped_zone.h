#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

// A time zone for one test; the old one comes back afterwards.
struct ScopedZone
{
    explicit ScopedZone(const char* zone) : had(std::getenv("TZ")), old(had ? std::getenv("TZ") : "")
    {
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedZone()
    {
        had ? setenv("TZ", old.c_str(), 1) : unsetenv("TZ");
        tzset();
    }
    const bool had;
    const std::string old;
};
