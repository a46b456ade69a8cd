// Many damaged settings and layout files, generated here from a fixed seed.
// None may crash, hang, leak a message to the log, lose the original bytes
// or leave a file behind that the next start finds damaged again.
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <wx/config.h>

#include "settings/dock_layout.h"
#include "settings/options.h"
#include "settings/settings_save.h"
#include "settings/settings_store.h"
#include "settings/toolkit_capture.h"
#include "settings/window_placement.h"
#include "settings_test_support.h"

namespace
{
const std::string kValid =
    "[Options]\nMonitorWindows=0\nAlwaysOnTop=1\nMinimizeOnClose=1\nHotKey=80\nHotKeyVK=6\n"
    "[Layout/SelDlg]\nPosX=100\nPosY=120\nSizeW=800\nSizeH=600\nIsMaximized=0\n";
const std::string kPerspective =
    "layout2|name=TpplBarPane;caption=;state=10240;dir=1;layer=10;row=0;pos=0;prop=100000;"
    "bestw=197;besth=42;minw=-1;minh=-1;maxw=-1;maxh=-1;floatx=-1;floaty=-1;floatw=-1;"
    "floath=-1|name=ID_Note;caption=;state=1980;dir=5;layer=0;row=0;pos=0;prop=100000;"
    "bestw=103;besth=39;minw=-1;minh=-1;maxw=-1;maxh=-1;floatx=-1;floaty=-1;floatw=-1;"
    "floath=-1|dock_size(1,10,0)=42|dock_size(5,0,0)=105|";

class Generator
{
public:
    explicit Generator(unsigned seed) : m_random(seed) {}

    size_t Below(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(m_random); }
    char Byte() { return static_cast<char>(Below(256)); }

    std::string Garbage(size_t length)
    {
        std::string out(length, '\0');
        for (char& c : out)
            c = Byte();
        return out;
    }

    // A few random edits of the text: bytes replaced, NULs, invalid UTF-8,
    // stray brackets and equals signs, lines dropped.
    std::string Mutate(std::string text)
    {
        static const char* const pieces[] = {"\0", "\xFF", "\xC3", "\xED\xA0\x80", "[", "]", "=",
                                             "\n", "\\", "\"", "/", "\r", "$HOME", "%s"};
        const size_t edits = 1 + Below(6);
        for (size_t i = 0; i < edits && !text.empty(); ++i)
        {
            const size_t at = Below(text.size());
            switch (Below(4))
            {
            case 0:
                text[at] = Byte();
                break;
            case 1:
            {
                const char* piece = pieces[Below(sizeof pieces / sizeof *pieces)];
                text.insert(at, piece, *piece ? std::char_traits<char>::length(piece) : 1);
                break;
            }
            case 2:
                text.erase(at, Below(20));
                break;
            default:
                text.insert(at, Number());
                break;
            }
        }
        return text;
    }

    std::string Number()
    {
        static const char* const numbers[] = {"-1", "-5", "0", "199", "200", "2500", "2501",
                                              "2001", "5000", "4294967596", "-2147483649",
                                              "99999999999999999999999", "1e9", "0x10", "", "5"};
        return numbers[Below(sizeof numbers / sizeof *numbers)];
    }

    // Valid syntax, odd values.
    std::string OddValues()
    {
        std::string out = "[Options]\n";
        for (const char* key : {"MonitorWindows", "AlwaysOnTop", "MinimizeOnClose", "HotKey"})
            out += std::string(key) + "=" + Number() + "\n";
        out += "[Layout/SelDlg]\n";
        for (const char* key : {"PosX", "PosY", "SizeW", "SizeH", "IsMaximized"})
            out += std::string(key) + "=" + Number() + "\n";
        return out;
    }

    std::string ManyEntries()
    {
        std::string out;
        const size_t groups = 1 + Below(500);
        for (size_t g = 0; g < groups; ++g)
        {
            out += "[G" + std::to_string(g) + "]\n";
            for (size_t e = 0; e < 20; ++e)
                out += "K" + std::to_string(e) + "=" + Number() + "\n";
        }
        return out + kValid;
    }

    std::string DeepGroups()
    {
        std::string out = "[";
        const size_t depth = 20 + Below(200000);
        for (size_t i = 0; i < depth; ++i)
            out += "a/";
        return out + "b]\nKey=1\n" + kValid;
    }

    std::string Bom() { return Below(2) ? std::string("\xFF\xFE") : std::string("\0\0\xFE\xFF", 4); }

    std::string SettingsInput(size_t kind)
    {
        switch (kind % 9)
        {
        case 0: return Garbage(Below(4096));
        case 1: return Mutate(kValid);
        case 2: return Bom() + Garbage(Below(512));
        case 3: return OddValues();
        case 4: return ManyEntries();
        case 5: return DeepGroups();
        case 6:
            // Costly to write, so only now and then.
            if (kind % 300 == 6)
                return kValid + "Long=" + std::string(20 * 1024 * 1024, 'x') + "\n";
            return kValid + "Long=" + std::string(Below(200000), 'x') + "\n";
        case 7: return std::string(Below(64), '\0') + kValid;
        default: return Mutate(Mutate(kValid + kValid));
        }
    }

    std::string PerspectiveInput(size_t kind)
    {
        switch (kind % 4)
        {
        case 0: return "PerspectiveSelDlg2=" + Mutate(kPerspective) + "\n";
        case 1: return "PerspectiveSelDlg2=layout2|" + Garbage(Below(300)) + "\n";
        case 2: return Mutate("PerspectiveSelDlg2=" + kPerspective + "\n");
        default: return Garbage(Below(2048));
        }
    }

private:
    std::mt19937 m_random;
};

TEST(SettingsFuzz, DamagedSettingsFilesAreSurvivedAndRepaired)
{
    TempFolder folder;
    const wxString file = folder.Path("Corvalin.cfg");
    Generator generate(20261207);
    const int assertionsBefore = AssertionCount();
    const auto start = std::chrono::steady_clock::now();
    int runs = 0;
    int damaged = 0;
    for (size_t i = 0; i < 900; ++i, ++runs)
    {
        const std::string input = generate.SettingsInput(i);
        WriteBytes(file, input);
        std::remove((file + L".damaged").utf8_str());
        wxString problem;
        {
            LogCapture log;
            delete wxConfigBase::Set(OpenSettingsStore(file, &problem));
            wxConfigBase* store = wxConfigBase::Get(false);
            ASSERT_NE(nullptr, store);
            ReadBoolOption(*store, L"/Options/MonitorWindows", true);
            ReadLow16Option(*store, L"/Options/HotKey", 80);
            WindowManagerHelper helper(nullptr, L"SelDlg");
            wxPoint position;
            wxSize size(600, 450);
            helper.Load(position, size);
            EXPECT_GE(position.x, -1);
            EXPECT_GE(position.y, -1);
            EXPECT_TRUE(size.x == 600 || (size.x >= 200 && size.x <= 2500)) << size.x;
            EXPECT_TRUE(size.y == 450 || (size.y >= 200 && size.y <= 2000)) << size.y;
            helper.Save();
            WriteBoolOption(*store, L"/Options/MonitorWindows", true);
            EXPECT_TRUE(FlushSettings(*store)) << "input " << i;
            CloseSettings(wxConfigBase::Set(nullptr));
            ASSERT_EQ(0, log.Count()) << "input " << i << ": " << log.Text();
        }
        if (!problem.empty())
        {
            ++damaged;
            ASSERT_EQ(input, ReadBytes(file + L".damaged")) << "input " << i;
        }
        // What this run left behind is clean for the next one.
        wxString again;
        delete OpenSettingsStore(file, &again);
        ASSERT_EQ(wxString(), again) << "input " << i;
    }
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start);
    std::printf("%d settings files, %d of them reported damaged, in %.1f s\n", runs, damaged,
                seconds.count());
    EXPECT_GT(damaged, runs / 4);
    EXPECT_LT(damaged, runs);
    EXPECT_EQ(assertionsBefore, AssertionCount());
}

TEST(SettingsFuzz, DamagedLayoutFilesAreSurvivedAndReplaced)
{
    TempFolder folder;
    const wxString file = folder.Path("perspective.layout");
    Generator generate(7);
    int accepted = 0;
    int runs = 0;
    LogCapture log;
    for (size_t i = 0; i < 1500; ++i, ++runs)
    {
        WriteBytes(file, generate.PerspectiveInput(i));
        const wxString read = ReadDockLayout(file);
        if (IsUsableDockLayout(read))
            ++accepted;
        WriteDockLayout(file, wxString::FromUTF8(kPerspective.c_str()));
        ASSERT_EQ(wxString::FromUTF8(kPerspective.c_str()), ReadDockLayout(file)) << i;
    }
    std::printf("%d layout files, %d perspectives accepted\n", runs, accepted);
    EXPECT_EQ(0, log.Count()) << log.Text();
    EXPECT_LT(accepted, runs / 2);
}
}  // namespace
