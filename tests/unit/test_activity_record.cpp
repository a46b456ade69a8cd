// The record file and the atomic save, against real files.
#include <cerrno>
#include <csignal>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <wx/utils.h>

#include "monitor/activity_record.h"
#include "monitor/record_filter.h"
#include "platform/text_file_save.h"
#include "support/scoped_zone.h"
#include "support/temp_folder.h"

namespace
{
std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Utf8(const wxString& text) { return std::string(text.utf8_str()); }

bool Has(const wxString& text, const std::string& part)
{
    return Utf8(text).find(part) != std::string::npos;
}

const char kCentralEurope[] = "CET-1CEST,M3.5.0,M10.5.0/3";

ActivityEntry Entry(const wxString& title = L"vim notes.txt")
{
    ActivityEntry entry;
    entry.number = 7;
    // 2026-12-08 01:15:03.123 UTC.
    entry.when = wxDateTime(static_cast<time_t>(1796692503)) + wxTimeSpan::Milliseconds(123);
    entry.window = 12582924;
    entry.module = L"xterm";
    entry.title = title;
    return entry;
}

const RecordDetails kDetails{L"/usr/bin/xterm", 4242, L"XTerm"};

std::string Line(const ActivityEntry& entry) { return Utf8(FormatRecordLine(entry, kDetails)); }

std::string TitleJson(const wxString& title)
{
    const std::string line = Line(Entry(title));
    const size_t start = line.find("\"title\":") + 8;
    return line.substr(start, line.find(",\"handle\":") - start);
}
}  // namespace

TEST(RecordLine, HasEveryFieldInOrder)
{
    ScopedZone zone(kCentralEurope);
    ActivityEntry entry = Entry();
    entry.window = 0xFFFFFFFFF0ull;  // wider than 32 bits: whole and unsigned
    entry.seen = Seen::HotKey;
    EXPECT_EQ("{\"time\":\"2026-12-08T02:15:03.123+01:00\",\"number\":7,\"module\":\"xterm\","
              "\"path\":\"/usr/bin/xterm\",\"pid\":4242,\"class\":\"XTerm\","
              "\"title\":\"vim notes.txt\",\"handle\":1099511627760,\"seen\":\"hotkey\","
              "\"held_ms\":null,\"idle_ms\":null,\"unprompted\":null,\"request\":null,"
              "\"started\":null,\"cmdline\":null,\"user\":null,\"user_id\":null,\"parents\":null,"
              "\"parents_end\":null,\"unit\":null,\"elevated\":null,\"new_window\":null,"
              "\"client\":null,\"recent\":null,\"cause\":null,\"launcher\":null,"
              "\"program\":\"xterm\",\"own\":false,\"attempt\":null,\"focused\":null}\n",
              Line(entry));
    entry.seen = Seen::Event;
    entry.previousHeldMs = 86400123;
    entry.input.idleMs = 7;
    entry.input.request = ActivationRequest::Pager;
    entry.unprompted = false;
    EXPECT_TRUE(Has(FormatRecordLine(entry, kDetails),
                    ",\"seen\":\"event\",\"held_ms\":86400123,\"idle_ms\":7,\"unprompted\":false,"
                    "\"request\":\"pager\",\"started\":"));
    // Only a yes or no known: no idle time, but the verdict.
    entry.input = ChangeInput{std::nullopt, false, ActivationRequest::Application};
    entry.unprompted = true;
    EXPECT_TRUE(Has(FormatRecordLine(entry, kDetails),
                    ",\"idle_ms\":null,\"unprompted\":true,\"request\":\"application\","));
}

TEST(RecordLine, EscapesHostileTitles)
{
    EXPECT_EQ("\"say \\\"hi\\\" C:\\\\x\"", TitleJson(L"say \"hi\" C:\\x"));
    EXPECT_EQ("\"a\\nb\\rc\\td\"", TitleJson(L"a\nb\rc\td"));
    const wchar_t withNul[] = L"nul\0esc\x1b[31m";
    EXPECT_EQ("\"nul\\u0000esc\\u001b[31m\"", TitleJson(wxString(withNul, WXSIZEOF(withNul) - 1)));
    EXPECT_EQ("\"del\\u007fc1\\u0085ls\\u2028\"", TitleJson(L"del\x7f" L"c1\x85ls\x2028"));
    // Outside the BMP: one character, its four UTF-8 bytes.
    EXPECT_EQ("\"\xF0\x9F\x98\x80 été\"", TitleJson(wxString::FromUTF8("\xF0\x9F\x98\x80 été")));
    // Neighbours of the escaped ones in UTF-8 stay as they are: Â, €, U+2027.
    EXPECT_EQ("\"\xC3\x82\xE2\x82\xAC\xE2\x80\xA7\"", TitleJson(wxString::FromUTF8("\xC3\x82\xE2\x82\xAC\xE2\x80\xA7")));
    // A lone surrogate is not Unicode; the line stays valid UTF-8.
    const wchar_t lone[] = {L'a', static_cast<wchar_t>(0xD800), L'b', 0};
    EXPECT_EQ("\"a\xEF\xBF\xBD" "b\"", TitleJson(lone));
}

TEST(RecordLine, TimeCarriesTheOffsetOfItsZoneAndDate)
{
    {
        ScopedZone zone(kCentralEurope);
        EXPECT_EQ(0u, Line(Entry()).find("{\"time\":\"2026-12-08T02:15:03.123+01:00\","));
        ActivityEntry summer = Entry();
        summer.when -= wxTimeSpan::Days(150) + wxTimeSpan::Milliseconds(116);
        EXPECT_EQ(0u, Line(summer).find("{\"time\":\"2026-07-11T03:15:03.007+02:00\","));
    }
    {
        // West of UTC by a half hour more, and still the day before.
        ScopedZone zone("<-0330>3:30");
        EXPECT_EQ(0u, Line(Entry()).find("{\"time\":\"2026-12-07T21:45:03.123-03:30\","));
    }
    ActivityEntry unknown = Entry();
    unknown.when = wxDateTime();
    EXPECT_EQ(0u, Line(unknown).find("{\"time\":null,\"number\":7,"));
}

TEST(RecordPath, Resolution)
{
    const wxString settings = L"/opt/corvalin/";
    EXPECT_EQ(L"", ResolveRecordPath(L"", settings));
    EXPECT_EQ(wxGetHomeDir(), ResolveRecordPath(L"~", settings));
    EXPECT_EQ(wxGetHomeDir() + L"/logs/f.jsonl", ResolveRecordPath(L"~/logs/f.jsonl", settings));
    EXPECT_EQ(L"/opt/corvalin/~bob/f.jsonl", ResolveRecordPath(L"~bob/f.jsonl", settings));
    EXPECT_EQ(L"/opt/corvalin/logs/f.jsonl", ResolveRecordPath(L"logs/f.jsonl", settings));
    EXPECT_EQ(L"/opt/corvalin/f.jsonl", ResolveRecordPath(L"f.jsonl", L"/opt/corvalin"));
    EXPECT_EQ(L"/var/log/f.jsonl", ResolveRecordPath(L"/var/log/f.jsonl", settings));
}

// A new file is private; opening again truncates nothing; two writers each
// add at the end, neither overwriting the other's line.
TEST(ActivityRecordFile, AppendsOnlyAndCreatesPrivately)
{
    TempFolder folder;
    const std::string file = folder.Path("focus.jsonl");
    ActivityRecord first, second;
    ASSERT_TRUE(first.Open(file));
    struct stat info;
    ASSERT_EQ(0, stat(file.c_str(), &info));
    EXPECT_EQ(0600u, info.st_mode & 0777u);
    ASSERT_TRUE(first.Append(Entry(L"A1"), kDetails));
    ASSERT_TRUE(second.Open(file));
    ASSERT_TRUE(second.Append(Entry(L"B"), kDetails));
    ASSERT_TRUE(first.Append(Entry(L"A2"), kDetails));
    // Read while both are open: nothing waits in a buffer.
    EXPECT_EQ(Line(Entry(L"A1")) + Line(Entry(L"B")) + Line(Entry(L"A2")), ReadBytes(file));
}

// Lets no file grow beyond limit bytes while it lives: a write past it fails
// with EFBIG (partly, when it straddles the limit), for root too.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit) : m_handler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        struct rlimit limited = m_saved;
        limited.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    struct rlimit m_saved;
    void (*m_handler)(int);
};

// Each problem is offered once; a write error also stops recording.
TEST(ActivityRecordFile, ProblemsAreReportedOnce)
{
    TempFolder folder;
    ActivityRecord record;
    EXPECT_FALSE(record.Open(folder.Path("missing/focus.jsonl")));
    EXPECT_TRUE(Has(record.Problem(), std::strerror(ENOENT))) << record.Problem();
    EXPECT_EQ(record.Problem(), record.TakeNewProblem());
    EXPECT_EQ(L"", record.TakeNewProblem());

    const std::string file = folder.Path("focus.jsonl");
    ASSERT_TRUE(record.Open(file));
    EXPECT_EQ(L"", record.Problem());
    {
        FileSizeLimit full(0);
        EXPECT_FALSE(record.Append(Entry(), kDetails));
    }
    EXPECT_FALSE(record.IsOpen());
    const wxString problem = record.Problem();
    EXPECT_TRUE(Has(problem, file) && Has(problem, std::strerror(EFBIG))) << problem;
    EXPECT_EQ(1, Utf8(problem).size() - Utf8(problem).find_last_of('.')) << "one sentence";
    EXPECT_EQ(problem, record.TakeNewProblem());
    EXPECT_FALSE(record.Append(Entry(), kDetails));
    EXPECT_EQ(L"", record.TakeNewProblem());
    EXPECT_EQ(problem, record.Problem());
}

// Nothing but a plain file of the user's own that only they may write is
// used, and opening one never waits: a FIFO without a reader, a link
// planted at the path, files others may write or own.
TEST(ActivityRecordFile, RefusesWhatIsNotAPrivatePlainFile)
{
    TempFolder folder;
    const std::string victim = folder.Path("victim");
    std::ofstream(victim) << "secret\n";
    ASSERT_EQ(0, symlink(victim.c_str(), folder.Path("link").c_str()));
    ASSERT_EQ(0, mkfifo(folder.Path("fifo").c_str(), 0600));
    std::ofstream(folder.Path("shared")) << "";
    ASSERT_EQ(0, chmod(folder.Path("shared").c_str(), 0666));
    ASSERT_EQ(0, mkdir(folder.Path("folder").c_str(), 0700));
    const struct
    {
        const char* name;
        const char* reason;
    } refused[] = {{"link", "symbolic link"},
                   {"fifo", "not a regular file"},
                   {"shared", "other users may write"},
                   {"folder", std::strerror(EISDIR)}};
    for (const auto& item : refused)
    {
        ActivityRecord record;
        EXPECT_FALSE(record.Open(folder.Path(item.name))) << item.name;
        EXPECT_TRUE(Has(record.Problem(), item.reason)) << record.Problem();
    }
    EXPECT_EQ("secret\n", ReadBytes(victim));

    if (geteuid() == 0)
    {
        // Root's record in a file that another user made first would hand
        // that user every title.
        const std::string theirs = folder.Path("theirs");
        std::ofstream(theirs) << "";
        ASSERT_EQ(0, chown(theirs.c_str(), 65534, 65534));
        ActivityRecord record;
        EXPECT_FALSE(record.Open(theirs));
        EXPECT_TRUE(Has(record.Problem(), "another user")) << record.Problem();
    }
}

// A line cut short by a full disk is ended before the next run's first
// line, which is never glued to the fragment; a file deleted while open is
// made again at its path.
TEST(ActivityRecordFile, NextLineAlwaysStartsALine)
{
    TempFolder folder;
    const std::string file = folder.Path("focus.jsonl");
    std::ofstream(file) << "old\n";
    {
        ActivityRecord record;
        ASSERT_TRUE(record.Open(file));
        FileSizeLimit nearlyFull(4 + 10);
        EXPECT_FALSE(record.Append(Entry(L"first"), kDetails));
    }
    const std::string cut = ReadBytes(file);
    ASSERT_EQ("old\n" + Line(Entry(L"first")).substr(0, 10), cut);

    ActivityRecord next;
    ASSERT_TRUE(next.Open(file));
    ASSERT_TRUE(next.Append(Entry(L"second"), kDetails));
    EXPECT_EQ(cut + "\n" + Line(Entry(L"second")), ReadBytes(file));

    ASSERT_EQ(0, unlink(file.c_str()));
    ASSERT_TRUE(next.Append(Entry(L"third"), kDetails));
    EXPECT_EQ(Line(Entry(L"third")), ReadBytes(file));
}

class AtomicSaveTest : public ::testing::Test
{
protected:
    // 1 when the target is alone: no new file, hidden or not, was left.
    int Entries() const
    {
        int count = 0;
        DIR* folder = opendir(m_folder.Path().c_str());
        while (const dirent* item = readdir(folder))
            count += std::strcmp(item->d_name, ".") != 0 && std::strcmp(item->d_name, "..") != 0;
        closedir(folder);
        return count;
    }
    TempFolder m_folder;
    std::string m_target = m_folder.Path("Activity.log");
    wxString m_problem = L"stale";
};

TEST_F(AtomicSaveTest, WritesUtf8AndReplaces)
{
    ASSERT_TRUE(SaveTextAtomically(m_target, wxString::FromUTF8("001. été \xF0\x9F\x98\x80\n"), m_problem));
    EXPECT_EQ(L"", m_problem);
    EXPECT_EQ("001. été \xF0\x9F\x98\x80\n", ReadBytes(m_target));
    ASSERT_TRUE(SaveTextAtomically(m_target, L"002.\n", m_problem));
    EXPECT_EQ("002.\n", ReadBytes(m_target));
    EXPECT_EQ(1, Entries());
}

TEST_F(AtomicSaveTest, FailedWriteLeavesTheTargetAsItWas)
{
    std::ofstream(m_target) << "old\n";
    bool ok = true;
    {
        FileSizeLimit full(0);
        ok = SaveTextAtomically(m_target, L"new\n", m_problem);
    }
    EXPECT_FALSE(ok);
    EXPECT_EQ("old\n", ReadBytes(m_target));
    EXPECT_EQ(1, Entries());
    EXPECT_TRUE(Has(m_problem, m_target) && Has(m_problem, std::strerror(EFBIG))) << m_problem;
}

// The user chose the name of a link: the link stays, the file it leads to
// gets the text, and keeps its permissions.
TEST_F(AtomicSaveTest, LinkAndPermissionsStay)
{
    const std::string real = m_folder.Path("real.log");
    std::ofstream(real) << "old\n";
    ASSERT_EQ(0, chmod(real.c_str(), 0640));
    ASSERT_EQ(0, symlink("real.log", m_target.c_str()));
    ASSERT_TRUE(SaveTextAtomically(m_target, L"new\n", m_problem)) << m_problem;
    struct stat info;
    ASSERT_EQ(0, lstat(m_target.c_str(), &info));
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ("new\n", ReadBytes(real));
    ASSERT_EQ(0, stat(real.c_str(), &info));
    EXPECT_EQ(0640u, info.st_mode & 07777u);
    EXPECT_EQ(2, Entries());
}

TEST_F(AtomicSaveTest, TargetThatIsAFolderIsLeftAlone)
{
    ASSERT_EQ(0, mkdir(m_target.c_str(), 0700));
    std::ofstream(m_target + "/inside") << "x";
    EXPECT_FALSE(SaveTextAtomically(m_target, L"text\n", m_problem));
    EXPECT_EQ("x", ReadBytes(m_target + "/inside"));
    EXPECT_EQ(1, Entries());
    EXPECT_TRUE(Has(m_problem, std::strerror(EISDIR))) << m_problem;
}
