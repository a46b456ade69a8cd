// Where the settings live, against real folders.
#include <cstdlib>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <wx/utils.h>

#include "settings/settings_location.h"
#include "support/temp_folder.h"

namespace
{
bool Exists(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0;
}

// Nothing can be created in /proc, yet access() tells root it may write
// there: a folder that only a real attempt finds read-only, for any user.
const wxString kReadOnly = L"/proc/";

class SettingsLocationTest : public ::testing::Test
{
protected:
    TempFolder m_program, m_home;
    std::string m_configHome = m_home.Path("deep/.config");  // two levels missing
    std::string m_fallback = m_configHome + "/Corvalin/";
};
}  // namespace

TEST_F(SettingsLocationTest, WritableProgramFolderIsUsedAndLeftClean)
{
    const wxString program = m_program.Path() + "/";
    EXPECT_EQ(program, ChooseSettingsDirectory(m_program.Path(), false, m_configHome));
    EXPECT_EQ(program, ChooseSettingsDirectory(program, false, m_configHome));
    EXPECT_EQ(0, rmdir(m_program.Path().c_str())) << "the trial file was left behind";
    EXPECT_FALSE(Exists(m_configHome));
}

TEST_F(SettingsLocationTest, ReadOnlyProgramFolderFallsBackToPrivateConfigFolder)
{
    EXPECT_EQ(wxString(m_fallback), ChooseSettingsDirectory(kReadOnly, false, m_configHome));
    struct stat info;
    ASSERT_EQ(0, stat(m_fallback.c_str(), &info));
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(0700u, info.st_mode & 0777u);
    EXPECT_EQ(wxString(m_fallback), ChooseSettingsDirectory(kReadOnly, false, m_configHome + "/"));
}

TEST_F(SettingsLocationTest, PortableKeepsTheProgramFolder)
{
    EXPECT_EQ(kReadOnly, ChooseSettingsDirectory(kReadOnly, true, m_configHome));
    EXPECT_FALSE(Exists(m_configHome));
}

// Saving then fails in the program folder, and says so naming it.
TEST_F(SettingsLocationTest, NoUsableFallbackKeepsTheProgramFolder)
{
    std::ofstream(m_home.Path("file")) << "x";
    EXPECT_EQ(kReadOnly, ChooseSettingsDirectory(kReadOnly, false, m_home.Path("file/.config")));
    EXPECT_EQ(kReadOnly, ChooseSettingsDirectory(kReadOnly, false, L"relative/.config"));
    EXPECT_EQ(kReadOnly, ChooseSettingsDirectory(kReadOnly, false, L""));
}

TEST(ConfigHome, XdgWhenAbsoluteElseDotConfig)
{
    const wxString dotConfig = wxGetHomeDir() + L"/.config";
    const char* const old = std::getenv("XDG_CONFIG_HOME");
    const std::string kept = old ? old : "";
    setenv("XDG_CONFIG_HOME", "/srv/config", 1);
    EXPECT_EQ(L"/srv/config", ConfigHome());
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(dotConfig, ConfigHome());
    setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(dotConfig, ConfigHome());
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(dotConfig, ConfigHome());
    if (old)
        setenv("XDG_CONFIG_HOME", kept.c_str(), 1);
}
