// Option reading and writing rules against a real file configuration.
#include <memory>

#include <gtest/gtest.h>

#include "settings/options.h"
#include "settings/settings_file_config.h"
#include "settings/settings_save.h"
#include "settings/toolkit_capture.h"
#include "settings_test_support.h"

namespace
{
class OptionsTest : public ::testing::Test
{
protected:
    // A store on a file holding exactly the given text.
    std::unique_ptr<wxFileConfig> StoreWith(const std::string& text)
    {
        WriteBytes(m_file, text);
        return std::unique_ptr<wxFileConfig>(OpenSettingsFile(m_file));
    }

    TempFolder m_folder;
    wxString m_file = m_folder.Path("Corvalin.cfg");
};

TEST_F(OptionsTest, MissingFileGivesDefaultsAndCreatesNothing)
{
    {
        std::unique_ptr<wxFileConfig> store(OpenSettingsFile(m_file));
        EXPECT_TRUE(ReadBoolOption(*store, L"/Options/MonitorWindows", true));
        EXPECT_FALSE(ReadBoolOption(*store, L"/Options/AlwaysOnTop", false));
        EXPECT_EQ(80, ReadLow16Option(*store, L"/Options/HotKey", 80));
        EXPECT_EQ(6, ReadLow16Option(*store, L"/Options/HotKeyVK", 6));
        EXPECT_TRUE(FlushSettings(*store));
    }
    // Defaults are never written back.
    EXPECT_FALSE(Exists(m_file));
}

TEST_F(OptionsTest, BoolsReadAsIntegersWithoutWarnings)
{
    auto store = StoreWith(
        "[Options]\nZero=0\nOne=1\nFive=5\nMinus=-1\nPadded= 1\nWord=yes\nTrue=true\n"
        "Fraction=1.5\nEmpty=\nHex=0x1\nHuge=99999999999999999999999\n");
    LogCapture log;
    EXPECT_FALSE(ReadBoolOption(*store, L"/Options/Zero", true));
    EXPECT_TRUE(ReadBoolOption(*store, L"/Options/One", false));
    EXPECT_TRUE(ReadBoolOption(*store, L"/Options/Five", false));
    EXPECT_TRUE(ReadBoolOption(*store, L"/Options/Minus", false));
    EXPECT_TRUE(ReadBoolOption(*store, L"/Options/Padded", false));
    // Text that is not an integer gives the default, whichever it is.
    for (const wchar_t* key : {L"/Options/Word", L"/Options/True", L"/Options/Fraction",
                               L"/Options/Empty", L"/Options/Hex", L"/Options/Huge",
                               L"/Options/Absent"})
    {
        EXPECT_TRUE(ReadBoolOption(*store, key, true)) << key;
        EXPECT_FALSE(ReadBoolOption(*store, key, false)) << key;
    }
    // The toolkit's own bool reading would have logged a warning box here.
    EXPECT_EQ(0, log.Count()) << log.Text();
}

TEST_F(OptionsTest, HotKeyValuesKeepTheLow16Bits)
{
    auto store = StoreWith("[Options]\nHotKey=74565\nHotKeyVK=-1\nBad=P\nPlain=80\n");
    EXPECT_EQ(0x2345, ReadLow16Option(*store, L"/Options/HotKey", 80));
    EXPECT_EQ(0xFFFF, ReadLow16Option(*store, L"/Options/HotKeyVK", 6));
    EXPECT_EQ(80, ReadLow16Option(*store, L"/Options/Bad", 80));
    EXPECT_EQ(80, ReadLow16Option(*store, L"/Options/Plain", 7));
}

TEST_F(OptionsTest, RangedValuesOutsideTheRangeGiveTheDefault)
{
    auto store = StoreWith("[Options]\nPromptedWithinMs=750\nZero=0\nLow=1\nHigh=60000\nOver=60001\n"
                           "Minus=-5\nWord=soon\nHuge=99999999999999999999\n");
    EXPECT_EQ(750, ReadRangeOption(*store, L"/Options/PromptedWithinMs", 500, 1, 60000));
    EXPECT_EQ(1, ReadRangeOption(*store, L"/Options/Low", 500, 1, 60000));
    EXPECT_EQ(60000, ReadRangeOption(*store, L"/Options/High", 500, 1, 60000));
    for (const wchar_t* key : {L"/Options/Zero", L"/Options/Over", L"/Options/Minus",
                               L"/Options/Word", L"/Options/Huge", L"/Options/Absent"})
        EXPECT_EQ(500, ReadRangeOption(*store, key, 500, 1, 60000)) << key;
}

TEST_F(OptionsTest, BoolsAreWrittenAsOneOrZeroAndOnlyThoseKeys)
{
    {
        auto store = StoreWith("[Options]\nMonitorWindows=5\nMinimizeOnRun=7\n");
        WriteBoolOption(*store, L"/Options/MonitorWindows",
                        ReadBoolOption(*store, L"/Options/MonitorWindows", true));
        WriteBoolOption(*store, L"/Options/AlwaysOnTop", false);
        // Reading an absent option must not add it.
        ReadBoolOption(*store, L"/Options/MinimizeOnClose", false);
        ASSERT_TRUE(FlushSettings(*store));
    }
    EXPECT_EQ("[Options]\nMonitorWindows=1\nMinimizeOnRun=7\nAlwaysOnTop=0\n", ReadBytes(m_file));
}
}  // namespace

// Options appended after [Layout] are not read; they are named, with their
// section, and nothing else is.
TEST_F(OptionsTest, OptionsUnderAnotherSectionAreNamed)
{
    auto store = StoreWith("[Options]\nAlwaysOnTop=1\n[Layout]\nPerspectiveSelDlg2=x\n"
                           "[Layout/SelDlg]\nPosX=10\nNotifyUnprompted=1\n[Extra]\nRecordFile=a.jsonl\n");
    store->SetPath(L"/Layout");
    EXPECT_EQ(L"RecordFile under [Extra]\nNotifyUnprompted under [Layout/SelDlg]", MisplacedOptions(*store));
    EXPECT_EQ(L"/Layout", store->GetPath());
    EXPECT_FALSE(ReadBoolOption(*store, L"/Options/NotifyUnprompted", false));
    EXPECT_EQ(L"", MisplacedOptions(*StoreWith("[Options]\nNotifyUnprompted=1\n[Layout/SelDlg]\nPosX=1\n")));
}
