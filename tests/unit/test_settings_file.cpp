// The settings file: encodings, damaged files, and save failures.
#include <cstring>
#include <memory>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/settings_check.h"
#include "settings/settings_file_config.h"
#include "settings/settings_save.h"
#include "settings/settings_store.h"
#include "settings/toolkit_capture.h"
#include "settings_test_support.h"

namespace
{
std::string Utf16Le(const std::string& ascii)
{
    std::string out;
    for (char c : ascii)
    {
        out += c;
        out += '\0';
    }
    return out;
}

std::string Utf16Be(const std::string& ascii)
{
    std::string out;
    for (char c : ascii)
    {
        out += '\0';
        out += c;
    }
    return out;
}

class SettingsFileTest : public ::testing::Test
{
protected:
    TempFolder m_folder;
    wxString m_file = m_folder.Path("Corvalin.cfg");
};

// Each BOM is detected on reading; whatever was read is written back as
// UTF-8, which the next start reads with every entry intact.
TEST_F(SettingsFileTest, DetectedEncodingsAreWrittenBackAsUtf8)
{
    const std::string body = "[Options]\nAlwaysOnTop=1\n";
    const std::string inputs[] = {
        "\xFF\xFE" + Utf16Le(body),
        "\xFE\xFF" + Utf16Be(body),
        "\xEF\xBB\xBF" + body,
        body,
    };
    for (const std::string& input : inputs)
    {
        WriteBytes(m_file, input);
        {
            std::unique_ptr<wxFileConfig> store(OpenSettingsFile(m_file));
            EXPECT_EQ(1, store->ReadLong(L"/Options/AlwaysOnTop", 0));
            store->Write(L"/Options/MonitorWindows", 0L);
            ASSERT_TRUE(FlushSettings(*store));
        }
        EXPECT_EQ("[Options]\nAlwaysOnTop=1\nMonitorWindows=0\n", ReadBytes(m_file));
        std::unique_ptr<wxFileConfig> again(OpenSettingsFile(m_file));
        EXPECT_EQ(1, again->ReadLong(L"/Options/AlwaysOnTop", 0));
        EXPECT_EQ(0, again->ReadLong(L"/Options/MonitorWindows", 1));
    }
}

TEST_F(SettingsFileTest, Latin1TextSurvivesAsUtf8)
{
    WriteBytes(m_file, "Name=\xE9t\xE9\n");
    {
        std::unique_ptr<wxFileConfig> store(OpenSettingsFile(m_file));
        EXPECT_EQ(wxString(L"\u00E9t\u00E9"), store->Read(L"/Name", wxString()));
        store->Write(L"/Other", 1L);
        ASSERT_TRUE(FlushSettings(*store));
    }
    EXPECT_EQ("Name=\xC3\xA9t\xC3\xA9\nOther=1\n", ReadBytes(m_file));
}

TEST_F(SettingsFileTest, TextCheckFindsWhatTheFileConfigurationCannotKeep)
{
    EXPECT_TRUE(CheckSettingsText(L"[Options]\n  [a/b/c]\nKey=/x/y/z\n"));
    EXPECT_FALSE(CheckSettingsText(wxString(L"A=1\nB=x", 7) + wxString(L"\0y", 2)));
    wxString surrogate(L"A=");
    surrogate += wxUniChar(0xD800);
    EXPECT_FALSE(CheckSettingsText(surrogate));
    // Beyond the first 64K: one character, two units where strings are UTF-16.
    EXPECT_TRUE(CheckSettingsText(wxString::FromUTF8("A=\xF0\x9F\x98\x80\n")));
    wxString beyond(L"A=");
    beyond += wxUniChar(0x110000);
    EXPECT_FALSE(CheckSettingsText(beyond));
    wxString deep32 = L"[";
    wxString deep33 = L"[";
    for (int i = 0; i < 32; ++i)
        deep32 += L"g/";
    deep33 = deep32 + L"g/";
    EXPECT_TRUE(CheckSettingsText(deep32 + L"g]\n"));
    EXPECT_FALSE(CheckSettingsText(L"A=1\n " + deep33 + L"g]\n"));
    // Slashes in values and in keys are not nesting.
    EXPECT_TRUE(CheckSettingsText(L"A=" + deep33 + L"\n" + deep33.Mid(1) + L"=1\n"));
}

TEST_F(SettingsFileTest, FileCheckRefusesWhatCannotBeParsedSafely)
{
    EXPECT_TRUE(CheckSettingsFile(m_file));  // absent
    WriteBytes(m_file, std::string(kMaxSettingsFileSize, '#'));
    EXPECT_TRUE(CheckSettingsFile(m_file));
    WriteBytes(m_file, std::string(kMaxSettingsFileSize + 1, '#'));
    EXPECT_FALSE(CheckSettingsFile(m_file));
    // UTF-32 big-endian BOM, then a value no Unicode text can hold.
    WriteBytes(m_file, std::string("\0\0\xFE\xFF\x7F\xFF\xFF\xFF", 8));
    EXPECT_FALSE(CheckSettingsFile(m_file));
    // UTF-16 with a lone surrogate does not convert at all.
    WriteBytes(m_file, "\xFF\xFE" + Utf16Le("A=") + std::string("\x00\xD8", 2));
    EXPECT_FALSE(CheckSettingsFile(m_file));
}

TEST_F(SettingsFileTest, CleanStoreIsOpenedAsItIs)
{
    WriteBytes(m_file, "; kept comment\n[Options]\nMonitorWindows=0\n");
    wxString problem = L"x";
    std::unique_ptr<wxFileConfig> store(OpenSettingsStore(m_file, &problem));
    EXPECT_EQ(wxString(), problem);
    EXPECT_EQ(0, store->ReadLong(L"/Options/MonitorWindows", 1));
    EXPECT_FALSE(Exists(m_file + L".damaged"));
}

// Bad lines, whether the toolkit reads past them or the file fails the check
// first (NULs): every readable entry is kept as stored, the original goes
// aside byte for byte, the file left behind reads cleanly, and nothing
// reached the log on the way.
TEST_F(SettingsFileTest, DamagedStoreKeepsEveryReadableEntryAndTheOriginal)
{
    const std::string good =
        "[Options]\nMonitorWindows=0\nAlwaysOnTop=1\nPath=$HOME/x\n[Layout/SelDlg]\nPosX=12\n";
    std::vector<std::string> inputs;
    for (const std::string& junk : {std::string("junk line\n"), std::string("x\0y\n", 4),
                                    std::string("A=\x01\0\n", 6)})
    {
        inputs.push_back(junk + good);
        inputs.push_back(good + junk);
    }
    // Many kinds at once: an unclosed header, a nameless entry, a key given
    // twice (the last one counts), a group opened again.
    inputs.push_back("[Options]\nMonitorWindows=0\nthis is no setting\n[broken\nAlwaysOnTop=0\n"
                     "AlwaysOnTop=1\nPath=$HOME/x\n=nameless\n[Layout/SelDlg]\nPosX=12\n[Options]\n");
    for (const std::string& text : inputs)
    {
        SCOPED_TRACE(text);
        WriteBytes(m_file, text);
        wxString problem;
        LogCapture log;
        {
            std::unique_ptr<wxFileConfig> store(OpenSettingsStore(m_file, &problem));
            EXPECT_EQ(0, store->ReadLong(L"/Options/MonitorWindows", 1));
            EXPECT_EQ(1, store->ReadLong(L"/Options/AlwaysOnTop", 0));
            EXPECT_EQ(12, store->ReadLong(L"/Layout/SelDlg/PosX", -1));
            EXPECT_EQ(wxString(), store->GetPath());  // the root
        }
        EXPECT_EQ(0, log.Count()) << log.Text();
        EXPECT_NE(wxNOT_FOUND, problem.Find(L"Corvalin.cfg.damaged")) << problem;
        EXPECT_EQ(text, ReadBytes(m_file + L".damaged"));

        wxString damage;
        std::unique_ptr<wxFileConfig> again(OpenSettingsFile(m_file, &damage));
        EXPECT_EQ(wxString(), damage);
        EXPECT_EQ(0, again->ReadLong(L"/Options/MonitorWindows", 1));
        EXPECT_EQ(1, again->ReadLong(L"/Options/AlwaysOnTop", 0));
        // Copied as stored, not expanded.
        EXPECT_EQ(L"$HOME/x", again->Read(L"/Options/Path", wxString()));
        again.reset();
        wxRemoveFile(m_file + L".damaged");
    }
}

// Lines on which the toolkit asserts rather than complains count as damage.
TEST_F(SettingsFileTest, ToolkitAssertionsCountAsDamage)
{
    const int before = AssertionCount();
    for (const std::string text : {"[Options]\n=1\n", "[A]\nX=1\n[B]\n[A]\nY=2\n"})
    {
        WriteBytes(m_file, text);
        wxString damage;
        std::unique_ptr<wxFileConfig> store(OpenSettingsFile(m_file, &damage));
        EXPECT_NE(wxString(), damage) << text;
    }
    EXPECT_EQ(before, AssertionCount());
    wxString problem;
    std::unique_ptr<wxFileConfig> store(OpenSettingsStore(m_file, &problem));
    EXPECT_NE(wxString(), problem);
    EXPECT_EQ(2, store->ReadLong(L"/A/Y", 0));
    EXPECT_EQ("[A]\nX=1\nY=2\n", ReadBytes(m_file));
}

// A file grown past the size limit keeps its readable entries but not the
// overlong line, and a second damaged file never replaces the first copy.
TEST_F(SettingsFileTest, OversizedStoreKeepsItsEntriesAndEveryDamagedCopy)
{
    std::string original(2 * 1024 * 1024, 'A');
    original.insert(0, "[Options]\nMonitorWindows=0\nBig=");
    original += "\nAlwaysOnTop=1\n";
    WriteBytes(m_file, original);
    wxString problem;
    std::unique_ptr<wxFileConfig> store(OpenSettingsStore(m_file, &problem));
    EXPECT_NE(wxString(), problem);
    EXPECT_EQ(0, store->ReadLong(L"/Options/MonitorWindows", 1));
    EXPECT_EQ(1, store->ReadLong(L"/Options/AlwaysOnTop", 0));
    EXPECT_FALSE(store->HasEntry(L"/Options/Big"));
    EXPECT_EQ(original, ReadBytes(m_file + L".damaged"));
    store->Write(L"/Options/MonitorWindows", 1L);
    ASSERT_TRUE(FlushSettings(*store));
    const std::string saved = ReadBytes(m_file);
    EXPECT_TRUE(saved.find("MonitorWindows=1\n") != std::string::npos &&
                saved.find("AlwaysOnTop=1\n") != std::string::npos && saved.size() < 64)
        << saved;
    store.reset();

    const std::string second("[Options]\nBad\0Line=1\n", 21);
    WriteBytes(m_file, second);
    store.reset(OpenSettingsStore(m_file, &problem));
    EXPECT_EQ(original, ReadBytes(m_file + L".damaged"));
    EXPECT_EQ(second, ReadBytes(m_file + L".damaged-2"));
    EXPECT_NE(wxNOT_FOUND, problem.Find(L".damaged-2")) << problem;
}

// Beyond what is searched for entries, the start of the file still is.
TEST_F(SettingsFileTest, FarTooLargeStoreKeepsTheEntriesAtItsStart)
{
    WriteBytes(m_file, "[Options]\nMonitorWindows=0\n" + std::string(17 * 1024 * 1024, '#') +
                           "\nAlwaysOnTop=1\n");
    wxString problem;
    std::unique_ptr<wxFileConfig> store(OpenSettingsStore(m_file, &problem));
    EXPECT_NE(wxNOT_FOUND, problem.Find(L"Corvalin.cfg.damaged")) << problem;
    EXPECT_EQ(0, store->ReadLong(L"/Options/MonitorWindows", 1));
    EXPECT_FALSE(store->HasEntry(L"/Options/AlwaysOnTop"));
}

// A folder that cannot be written: every flush fails quietly, and the
// failure is handed out once.
TEST_F(SettingsFileTest, SaveFailureIsReportedOnce)
{
    const wxString unwritable = m_folder.Path("missing/Corvalin.cfg");
    LogCapture log;
    std::unique_ptr<wxFileConfig> store(OpenSettingsFile(unwritable));
    store->Write(L"/Options/AlwaysOnTop", 1L);
    EXPECT_FALSE(FlushSettings(*store));
    EXPECT_FALSE(FlushSettings(*store));
    CloseSettings(store.release());
    EXPECT_EQ(0, log.Count()) << log.Text();
    const wxString failure = TakeSaveFailure();
    EXPECT_NE(wxString(), failure);
    EXPECT_EQ(wxString(), TakeSaveFailure());

    std::unique_ptr<wxFileConfig> later(OpenSettingsFile(unwritable));
    later->Write(L"/Options/AlwaysOnTop", 0L);
    EXPECT_FALSE(FlushSettings(*later));
    EXPECT_EQ(wxString(), TakeSaveFailure());
}
}  // namespace

namespace
{
// Saving replaces the file in one step: a link to it stays a link, nothing
// is left beside it, and unchanged settings are not written again.
TEST_F(SettingsFileTest, SaveReplacesTheFileBehindALinkOnlyWhenChanged)
{
    const std::string real = m_folder.Path("real.cfg");
    WriteBytes(real, "[Options]\nMonitorWindows=1\n");
    ASSERT_EQ(0, symlink(real.c_str(), std::string(m_file.utf8_str()).c_str()));
    std::unique_ptr<wxFileConfig> store(OpenSettingsStore(m_file));
    struct stat before, after;
    ASSERT_EQ(0, stat(real.c_str(), &before));
    ASSERT_TRUE(FlushSettings(*store));
    ASSERT_EQ(0, stat(real.c_str(), &after));
    EXPECT_EQ(before.st_ino, after.st_ino) << "written although nothing changed";
    store->Write(L"/Options/MonitorWindows", 0L);
    ASSERT_TRUE(FlushSettings(*store));
    store.reset();
    EXPECT_EQ("[Options]\nMonitorWindows=0\n", ReadBytes(real));
    ASSERT_EQ(0, lstat(std::string(m_file.utf8_str()).c_str(), &after));
    EXPECT_TRUE(S_ISLNK(after.st_mode));
    int entries = 0;
    DIR* folder = opendir(m_folder.Path().c_str());
    while (const dirent* item = readdir(folder))
        entries += std::strcmp(item->d_name, ".") != 0 && std::strcmp(item->d_name, "..") != 0;
    closedir(folder);
    EXPECT_EQ(2, entries) << "a new file was left beside the settings";
}
}  // namespace

// The exclusion patterns come as written: the toolkit's escapes would turn
// "KeePass\.exe" into "KeePassexe".  A file written for those escapes (every
// backslash doubled) means either reading, so nothing it excluded leaks;
// the toolkit's quotes are dropped, and other entries read as before.
TEST_F(SettingsFileTest, ExclusionPatternsReadAsWritten)
{
    WriteBytes(m_file, "[Options]\nExcludeModules=keepassxc|1password|KeePass\\.exe\n"
                       "ExcludeTitles = \"C:\\\\Secret\\\\.*\"\nRecordFile=a\\\\b\n"
                       "[Other]\nExcludeModules=x\\.y\n");
    std::unique_ptr<wxFileConfig> store(OpenSettingsStore(m_file, nullptr));
    EXPECT_EQ(L"keepassxc|1password|KeePass\\.exe", store->Read(L"/Options/ExcludeModules", L""));
    EXPECT_EQ(L"C:\\\\Secret\\\\.*|C:\\Secret\\.*", store->Read(L"/Options/ExcludeTitles", L""));
    store->SetPath(L"/Options");
    EXPECT_EQ(L"keepassxc|1password|KeePass\\.exe", store->Read(L"ExcludeModules", L""));
    store->SetPath(L"/");
    EXPECT_EQ(L"a\\b", store->Read(L"/Options/RecordFile", L""));
    // Only the options' own patterns: elsewhere the toolkit reads as ever.
    EXPECT_EQ(L"xy", store->Read(L"/Other/ExcludeModules", L""));
}
