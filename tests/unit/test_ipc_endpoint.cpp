#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/single_instance.h"
#include "platform/linux/private_directory.h"
#include "support/temp_folder.h"

namespace
{
mode_t ModeOf(const std::string& path)
{
    struct stat status;
    return lstat(path.c_str(), &status) == 0 ? status.st_mode : 0;
}

// Sets or clears environment variables for one test.
class Environment
{
public:
    Environment(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old, m_hadOld = true;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~Environment() { m_hadOld ? setenv(m_name, m_old.c_str(), 1) : unsetenv(m_name); }

private:
    const char* m_name;
    std::string m_old;
    bool m_hadOld = false;
};

std::string Utf8(const wxString& text)
{
    return std::string(text.utf8_str());
}
}  // namespace

TEST(ShortName, KeepsNamesThatFit)
{
    EXPECT_EQ(ShortName(L"Corvalin_root_server", 20), L"Corvalin_root_server");
    EXPECT_EQ(ShortName(L"Corvalin_root_server", 100), L"Corvalin_root_server");
}

TEST(ShortName, HashesLongNamesStablyAndDistinctly)
{
    const wxString a = ShortName(L"Corvalin_root_server", 19);
    EXPECT_EQ(a.length(), 17u);
    EXPECT_TRUE(a.StartsWith(L"h"));
    EXPECT_EQ(a, ShortName(L"Corvalin_root_server", 19)) << "the same name must meet itself";
    EXPECT_NE(a, ShortName(L"Corvalin_root_servex", 19));
}

TEST(ShortName, CountsUtf8BytesNotCharacters)
{
    // Four characters, eight bytes.
    const wxString name = wxString::FromUTF8("\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f");
    EXPECT_EQ(ShortName(name, 8), name);
    EXPECT_NE(ShortName(name, 7), name);
}

TEST(ShortName, NothingWhenEvenTheHashDoesNotFit)
{
    EXPECT_EQ(ShortName(std::string(40, 'x'), 16), wxString());
}

TEST(PrivateDirectory, AcceptsOnlyOwnClosedRealDirectories)
{
    TempFolder temp;
    const std::string closed = temp.Path("closed"), open = temp.Path("open"),
                      link = temp.Path("link"), file = temp.Path("file");
    ASSERT_EQ(mkdir(closed.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(open.c_str(), 0700), 0);
    ASSERT_EQ(chmod(open.c_str(), 0755), 0);
    ASSERT_EQ(symlink(closed.c_str(), link.c_str()), 0);
    ASSERT_EQ(close(creat(file.c_str(), 0600)), 0);

    EXPECT_TRUE(IsPrivateDirectory(closed));
    EXPECT_FALSE(IsPrivateDirectory(open)) << "others could enter";
    EXPECT_FALSE(IsPrivateDirectory(link)) << "a symlink may point anywhere";
    EXPECT_FALSE(IsPrivateDirectory(file));
    EXPECT_FALSE(IsPrivateDirectory(temp.Path("missing")));
    EXPECT_FALSE(IsPrivateDirectory(wxString()));
}

TEST(PrivateDirectory, RefusesSomeoneElsesDirectory)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "giving a directory to another user needs root";
    TempFolder temp;
    const std::string foreign = temp.Path("foreign");
    ASSERT_EQ(mkdir(foreign.c_str(), 0700), 0);
    ASSERT_EQ(chown(foreign.c_str(), 4242, 4242), 0);
    EXPECT_FALSE(IsPrivateDirectory(foreign));
}

TEST(ChoosePrivateDirectory, PrefersAPrivateRuntimeDirectory)
{
    TempFolder runtime, tmp;
    EXPECT_EQ(Utf8(ChoosePrivateDirectory(runtime.Path(), tmp.Path())), runtime.Path());
    EXPECT_EQ(ModeOf(tmp.Path("Corvalin")), 0u)
        << "nothing is created when the runtime directory serves";
    EXPECT_EQ(ChoosePrivateDirectory(wxString(), L"relative/cache"), wxString());
}

TEST(ChoosePrivateDirectory, FallsBackToAClosedFolderOfItsOwn)
{
    TempFolder runtime, tmp;
    ASSERT_EQ(chmod(runtime.Path().c_str(), 0755), 0);  // not trusted
    const std::string own = tmp.Path("Corvalin");
    EXPECT_EQ(Utf8(ChoosePrivateDirectory(runtime.Path(), tmp.Path())), own);
    EXPECT_EQ(ModeOf(own), static_cast<mode_t>(S_IFDIR | 0700));
    // Unset runtime directory, and a second run finding the folder.
    EXPECT_EQ(Utf8(ChoosePrivateDirectory(wxString(), tmp.Path() + "/")), own);
}

TEST(ChoosePrivateDirectory, GivesUpOnAPlantedFolder)
{
    TempFolder tmp, elsewhere;
    const std::string own = tmp.Path("Corvalin");
    ASSERT_EQ(symlink(elsewhere.Path().c_str(), own.c_str()), 0);
    EXPECT_EQ(ChoosePrivateDirectory(wxString(), tmp.Path()), wxString());
    ASSERT_EQ(unlink(own.c_str()), 0);
    ASSERT_EQ(mkdir(own.c_str(), 0777), 0);
    ASSERT_EQ(chmod(own.c_str(), 0777), 0);
    EXPECT_EQ(ChoosePrivateDirectory(wxString(), tmp.Path()), wxString());
}

TEST(MapIpcEndpoint, SocketAndLockInTheRuntimeDirectory)
{
    TempFolder runtime;
    Environment xdg("XDG_RUNTIME_DIR", runtime.Path().c_str());
    const IpcEndpoint endpoint = MapIpcEndpoint(L"Corvalin_alice", L"Corvalin_alice_server");
    EXPECT_EQ(Utf8(endpoint.lockDirectory), runtime.Path());
    EXPECT_EQ(endpoint.lockName, L"Corvalin_alice");
    EXPECT_EQ(Utf8(endpoint.service), runtime.Path("Corvalin_alice_server"));
}

TEST(MapIpcEndpoint, LongNamesStayWithinTheSocketPathLimit)
{
    TempFolder runtime;
    Environment xdg("XDG_RUNTIME_DIR", runtime.Path().c_str());
    const wxString name = wxString(L'n', 200) + L"_bob";
    const IpcEndpoint a = MapIpcEndpoint(name, name + L"_server");
    const IpcEndpoint b = MapIpcEndpoint(name + L"2", name + L"2_server");
    EXPECT_LT(a.service.utf8_str().length(), 107u);
    EXPECT_TRUE(a.service.StartsWith(wxString::FromUTF8(runtime.Path("").c_str())));
    EXPECT_NE(a.service, b.service) << "different instances must not share a socket";
    EXPECT_EQ(a.lockName, name) << "file names may be longer than socket paths";
}

TEST(MapIpcEndpoint, NoServiceWhenNoDirectoryCanBeTrusted)
{
    TempFolder runtime, tmp;
    ASSERT_EQ(chmod(runtime.Path().c_str(), 0777), 0);
    const std::string own = tmp.Path("Corvalin");
    ASSERT_EQ(symlink("/tmp", own.c_str()), 0);
    Environment xdg("XDG_RUNTIME_DIR", runtime.Path().c_str());
    Environment cache("XDG_CACHE_HOME", tmp.Path().c_str());
    const IpcEndpoint endpoint = MapIpcEndpoint(L"Corvalin_carol", L"Corvalin_carol_server");
    EXPECT_EQ(endpoint.service, wxString()) << "an empty service would become a TCP port";
    EXPECT_EQ(endpoint.lockDirectory, wxString());
    EXPECT_EQ(endpoint.lockName, L"Corvalin_carol");
}

// Another user can create names in a shared temporary folder, but not in
// this user's cache folder.
TEST(MapIpcEndpoint, WithoutARuntimeDirectoryTheCacheFolderServes)
{
    TempFolder home;
    Environment xdg("XDG_RUNTIME_DIR", nullptr);
    Environment cache("XDG_CACHE_HOME", nullptr);
    Environment homeVar("HOME", home.Path().c_str());
    const IpcEndpoint endpoint = MapIpcEndpoint(L"Corvalin_erin", L"Corvalin_erin_server");
    EXPECT_EQ(Utf8(endpoint.lockDirectory), home.Path(".cache/Corvalin"));
    EXPECT_EQ(Utf8(endpoint.service), home.Path(".cache/Corvalin/Corvalin_erin_server"));
    EXPECT_EQ(ModeOf(home.Path(".cache/Corvalin")), static_cast<mode_t>(S_IFDIR | 0700));
}

TEST(MapIpcEndpoint, NoServiceWhenTheDirectoryItselfIsTooLong)
{
    TempFolder base;
    std::string deep = base.Path();
    while (deep.size() < 110)
    {
        deep += "/dddddddddddddddddddd";
        ASSERT_EQ(mkdir(deep.c_str(), 0700), 0);
    }
    Environment xdg("XDG_RUNTIME_DIR", deep.c_str());
    const IpcEndpoint endpoint = MapIpcEndpoint(L"Corvalin_dave", L"Corvalin_dave_server");
    EXPECT_EQ(Utf8(endpoint.lockDirectory), deep);
    EXPECT_EQ(endpoint.service, wxString());
}
