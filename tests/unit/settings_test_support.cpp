#include "settings_test_support.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

#include <gtest/gtest.h>
#include <wx/init.h>

namespace
{
int g_assertions = 0;

void CountAssertion(const wxString& file, int line, const wxString&, const wxString& cond,
                    const wxString& msg)
{
    ++g_assertions;
    std::fprintf(stderr, "toolkit assertion %s at %s:%d: %s\n",
                 static_cast<const char*>(cond.utf8_str()),
                 static_cast<const char*>(file.utf8_str()), line,
                 static_cast<const char*>(msg.utf8_str()));
}

class ToolkitEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        wxInitialize();
        wxSetAssertHandler(&CountAssertion);
    }
    void TearDown() override { wxUninitialize(); }
};

const auto* const g_environment =
    ::testing::AddGlobalTestEnvironment(new ToolkitEnvironment);
}  // namespace

int AssertionCount()
{
    return g_assertions;
}

void WriteBytes(const wxString& path, const std::string& bytes)
{
    std::ofstream out(path.utf8_str().data(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const wxString& path)
{
    std::ifstream in(path.utf8_str().data(), std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

bool Exists(const wxString& path)
{
    return std::ifstream(path.utf8_str().data()).good();
}
