#pragma once

#include <cstdlib>
#include <string>

#include <stdlib.h>

// A fresh folder under /tmp for one test, removed with everything in it.
class TempFolder
{
public:
    TempFolder()
    {
        char pattern[] = "/tmp/corvalin-unit.XXXXXX";
        if (!mkdtemp(pattern))
            std::abort();
        m_path = pattern;
    }
    ~TempFolder() { std::system(("rm -rf '" + m_path + "'").c_str()); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder itself, or a name inside it.
    std::string Path(const std::string& name = std::string()) const
    {
        return name.empty() ? m_path : m_path + "/" + name;
    }

private:
    std::string m_path;
};
