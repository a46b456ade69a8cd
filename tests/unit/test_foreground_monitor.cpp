#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/arrstr.h>

#include "support/fake_system_log.h"
#include "support/fake_window_platform.h"
#include "monitor/activity_line.h"
#include "monitor/activity_logger.h"
#include "monitor/foreground_monitor.h"

namespace
{
wxDateTime g_now(7, wxDateTime::Dec, 2026, 10, 17, 5, 83);
wxDateTime FixedClock()
{
    return g_now;
}

class ForegroundMonitorTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        desktop.AddWindow(100, L"Untitled - Notepad", 11);
        desktop.AddWindow(200, L"Inbox", 22);
        desktop.modules[11] = L"notepad.exe";
        desktop.modules[22] = L"mail";
    }

    wxString Sample(Seen seen = Seen::Tick)
    {
        ActivityEntry entry;
        return monitor.FormatForegroundChange(seen, entry) ? entry.line : wxString();
    }
    // Logs n lines, switching between the two windows.
    void LogLines(int n)
    {
        for (int i = 0; i < n; ++i)
        {
            desktop.foreground = desktop.foreground == 100 ? 200 : 100;
            ASSERT_FALSE(Sample().empty());
        }
    }

    FakeWindowPlatform desktop;
    ForegroundMonitor monitor{desktop, &FixedClock};
};
}  // namespace

TEST_F(ForegroundMonitorTest, OneWindowInFrontGivesExactlyOneLine)
{
    desktop.foreground = 100;
    EXPECT_EQ(Sample(), L"001.  17:05:083     notepad.exe - Untitled - Notepad (100) \n");
    for (int tick = 0; tick < 50; ++tick)
        EXPECT_TRUE(Sample().empty());
    EXPECT_EQ(monitor.LineCount(), 1);
    EXPECT_EQ(desktop.debugOutput.size(), 1u);
    EXPECT_EQ(desktop.debugOutput[0], L"1");
}

TEST_F(ForegroundMonitorTest, IdleTickCostsOneQueryAndOneValidityCheck)
{
    desktop.foreground = 100;
    Sample();
    desktop.foregroundQueries = desktop.validityChecks = desktop.otherCalls = 0;
    Sample();
    EXPECT_EQ(desktop.foregroundQueries, 1);
    EXPECT_EQ(desktop.validityChecks, 1);
    EXPECT_EQ(desktop.otherCalls, 0);
}

TEST_F(ForegroundMonitorTest, SwitchingAToBToAGivesThreeLines)
{
    desktop.foreground = 100;
    EXPECT_TRUE(Sample().StartsWith(L"001."));
    desktop.foreground = 200;
    EXPECT_TRUE(Sample().StartsWith(L"002.  17:05:083     mail - Inbox (200)"));
    desktop.foreground = 100;
    EXPECT_TRUE(Sample().StartsWith(L"003."));
}

TEST_F(ForegroundMonitorTest, NoForegroundWindowLeavesTheStateAlone)
{
    desktop.foreground = 100;
    Sample();
    desktop.foreground = 0;
    EXPECT_TRUE(Sample().empty());
    EXPECT_EQ(monitor.LastWindow(), 100u);
    desktop.foreground = 100;
    EXPECT_TRUE(Sample().empty());  // no second line for the same A
    EXPECT_EQ(monitor.LineCount(), 1);
}

TEST_F(ForegroundMonitorTest, ADestroyedWindowIsForgottenSoItsHandleCanBeLoggedAgain)
{
    desktop.foreground = 100;
    Sample();
    // The window manager still names the destroyed window for one tick.
    desktop.DestroyWindow(100);
    desktop.foreground = 100;
    EXPECT_TRUE(Sample().Contains(L"Not a valid window - Not a valid window (100)"));
    desktop.foreground = 200;
    EXPECT_TRUE(Sample().StartsWith(L"003."));
    desktop.AddWindow(100, L"Calculator", 11);
    desktop.foreground = 100;
    EXPECT_TRUE(Sample().Contains(L"004.  17:05:083     notepad.exe - Calculator (100)"));
}

TEST_F(ForegroundMonitorTest, WindowVanishingBeforeItIsExaminedStillGivesALine)
{
    // The foreground query names a window that is gone by the validity check.
    desktop.foreground = 300;
    EXPECT_EQ(Sample(), L"001.  17:05:083     Not a valid window - Not a valid window (300) \n");
}

TEST_F(ForegroundMonitorTest, UninspectableProcessKeepsTheRealTitle)
{
    desktop.AddWindow(400, L"root shell", 99);  // no module known for pid 99
    desktop.foreground = 400;
    EXPECT_TRUE(Sample().Contains(L"Not a valid window - root shell (400)"));
    desktop.AddWindow(500, L"no pid", 0);
    desktop.foreground = 500;
    EXPECT_TRUE(Sample().Contains(L"Not a valid window - no pid (500)"));
    // A compositor that names no process still names the program.
    desktop.AddWindow(600, L"native", 0);
    desktop.appIds[600] = L"org.gnome.Calculator";
    desktop.foreground = 600;
    EXPECT_TRUE(Sample().Contains(L"org.gnome.Calculator - native (600)"));
}

TEST_F(ForegroundMonitorTest, ClearingTheStateLogsTheSameWindowAgainAs001)
{
    desktop.foreground = 100;
    Sample();
    desktop.foreground = 200;
    Sample();
    monitor.Clear();  // what Clear Log does
    EXPECT_TRUE(Sample().StartsWith(L"001.  17:05:083     mail - Inbox"));
}

TEST_F(ForegroundMonitorTest, NumberingGrowsPastThreeDigits)
{
    LogLines(41);
    desktop.foreground = desktop.foreground == 100 ? 200 : 100;
    EXPECT_TRUE(Sample().StartsWith(L"042."));
    LogLines(957);
    desktop.foreground = desktop.foreground == 100 ? 200 : 100;
    EXPECT_TRUE(Sample().StartsWith(L"1000.  "));
}

// The event path as the frame wires it: the platform calls back on each
// change, the logger samples while monitoring is on, and the timer keeps
// sampling too.
class ForegroundEventsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        desktop.AddWindow(100, L"Untitled - Notepad", 11);
        desktop.AddWindow(200, L"Inbox", 22);
        desktop.AddWindow(300, L"thief", 33);
        desktop.modules[11] = L"notepad.exe";
        desktop.modules[22] = L"mail";
        desktop.modules[33] = L"thief";
        logger.StartEvents([this] { return monitoring; });
    }
    // The tick's sample: the line it logged, or an empty text.
    wxString Sample(Seen seen = Seen::Tick)
    {
        const size_t before = lines.size();
        return logger.LogForegroundChange(seen) && lines.size() > before ? lines.back() : wxString();
    }

    FakeWindowPlatform desktop;
    std::vector<wxString> lines;
    std::vector<wxString> stops;
    ActivityLogger logger{desktop, [this](const wxString& line) { lines.push_back(line); },
                          [this](const wxString& problem) { stops.push_back(problem); },
                          &FixedClock};
    ForegroundMonitor& monitor = logger.Monitor();
    bool monitoring = true;
};

TEST_F(ForegroundEventsTest, AChangeSeenByAnEventIsNotLoggedAgainByTheTick)
{
    desktop.Activate(100);
    desktop.Activate(300);  // a thief that holds the focus for less than a tick
    desktop.Activate(100);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[1].StartsWith(L"002.  17:05:083     thief - thief (300)"));
    EXPECT_TRUE(Sample().empty());
    EXPECT_EQ(monitor.LineCount(), 3);
    EXPECT_EQ(desktop.watched, 100u);
}

TEST_F(ForegroundEventsTest, NoForegroundBetweenTwoWindowsIsNoChange)
{
    desktop.Activate(100);
    desktop.Activate(0);  // what some window managers report mid-switch
    desktop.Activate(100);
    desktop.Activate(0);
    desktop.Activate(200);
    EXPECT_EQ(monitor.LineCount(), 2);
}

TEST_F(ForegroundEventsTest, DestroyThenReuseOfTheHandleIsLoggedOnce)
{
    desktop.Activate(100);
    desktop.DestroyWindow(100);
    desktop.Activate(200);
    desktop.AddWindow(100, L"Calculator", 11);
    desktop.Activate(100);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[2].Contains(L"notepad.exe - Calculator (100)"));
}

TEST_F(ForegroundEventsTest, MonitoringOffIgnoresEventsAndTheHotKeyStillSamples)
{
    desktop.Activate(100);
    monitoring = false;
    desktop.Activate(200);
    EXPECT_EQ(monitor.LineCount(), 1);
    EXPECT_TRUE(Sample(Seen::HotKey).StartsWith(L"002.  "));
    EXPECT_TRUE(lines.back().Contains(L"mail - Inbox"));
    EXPECT_TRUE(Sample(Seen::HotKey).empty());
}

// Events queued behind each other: each line names the window its event
// named, at the event's time, though the foreground has moved on since.
TEST_F(ForegroundEventsTest, ALateEventIsLoggedAsItWasToldNotAsTheForegroundIsNow)
{
    const wxDateTime earlier(7, wxDateTime::Dec, 2026, 10, 16, 59, 4);
    desktop.Activate(100);
    desktop.foreground = 100;  // the thief has already lost the foreground
    desktop.DeliverEvent(300, earlier);
    desktop.DeliverEvent(100, earlier + wxTimeSpan::Milliseconds(3));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], L"002.  16:59:004     thief - thief (300) \n");
    EXPECT_EQ(lines[2], L"003.  16:59:007     notepad.exe - Untitled - Notepad (100) \n");
    // Nothing was missed, so the tick has nothing to add; a change the events
    // missed is the tick's, stamped by the clock.
    EXPECT_TRUE(Sample().empty());
    desktop.foreground = 200;
    EXPECT_TRUE(Sample().StartsWith(L"004.  17:05:083     mail - Inbox (200)"));

    // An event for a window gone before its turn: one line that says so.
    desktop.DestroyWindow(300);
    desktop.DeliverEvent(300, earlier);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[4], L"005.  16:59:004     Not a valid window - Not a valid window (300) \n");
    desktop.DeliverEvent(300, earlier);
    EXPECT_EQ(lines.size(), 5u);
    EXPECT_EQ(monitor.LineCount(), 5);
}

// The record gets each logged line with what only it holds; when its file
// can no longer be written, the log goes on and the stop is told once.
TEST_F(ForegroundEventsTest, TheRecordFollowsTheLogAndAStopIsToldOnce)
{
    const wxString folder = wxFileName::CreateTempFileName(L"corvalin-logger");
    ASSERT_TRUE(wxRemoveFile(folder) && wxMkdir(folder, 0700));
    const wxString path = folder + L"/focus.jsonl";
    wxString problem = L"stale";
    ASSERT_TRUE(logger.OpenRecord(path, problem)) << problem;
    EXPECT_TRUE(problem.empty());
    desktop.Activate(100);
    desktop.Activate(300);
    wxString text;
    ASSERT_TRUE(wxFile(path).ReadAll(&text));
    EXPECT_EQ(text.Freq(L'\n'), 2u);
    EXPECT_TRUE(text.Contains(L"\"module\":\"thief\",\"path\":\"/usr/bin/thief\",\"pid\":33,"
                              L"\"class\":\"FakeClass\",\"title\":\"thief\",\"handle\":300,"
                              L"\"seen\":\"event\""))
        << text;

    // The folder goes away: the file cannot be opened again at its path.
    ASSERT_TRUE(wxRemoveFile(path) && wxRmdir(folder));
    desktop.Activate(200);
    desktop.Activate(100);
    EXPECT_EQ(lines.size(), 4u);
    ASSERT_EQ(stops.size(), 1u);
    EXPECT_FALSE(stops[0].empty());
    EXPECT_FALSE(logger.IsRecording());
    EXPECT_FALSE(logger.OpenRecord(folder + L"/none/focus.jsonl", problem));
    EXPECT_FALSE(problem.empty());
}

// Each record line says how long the previous line's window held the
// focus, only where monitoring saw the whole hold: not for the first line,
// after monitoring was switched or the log cleared, nor around a hot-key
// line logged while monitoring was off.
TEST_F(ForegroundEventsTest, EachRecordLineTellsThePreviousWindowsHoldWhereItWasSeenWhole)
{
    const wxString folder = wxFileName::CreateTempFileName(L"corvalin-holds");
    ASSERT_TRUE(wxRemoveFile(folder) && wxMkdir(folder, 0700));
    const wxString path = folder + L"/focus.jsonl";
    wxString problem;
    ASSERT_TRUE(logger.OpenRecord(path, problem)) << problem;
    const wxDateTime start = g_now;
    auto after = [](long ms) { g_now += wxTimeSpan::Milliseconds(ms); };
    desktop.Activate(100);
    after(250), desktop.Activate(300);
    after(40), desktop.Activate(100);
    logger.BreakHolds();
    after(1000), desktop.Activate(200);
    monitoring = false;
    after(10), desktop.foreground = 100;
    EXPECT_FALSE(Sample(Seen::HotKey).empty());
    monitoring = true;
    after(10), desktop.Activate(200);
    after(5), desktop.Activate(100);
    g_now = start;

    wxString text;
    ASSERT_TRUE(wxFile(path).ReadAll(&text));
    std::vector<wxString> held;
    for (const wxString& line : wxSplit(text.Trim(), L'\n'))
        held.push_back(line.Mid(line.Find(L"\"held_ms\":") + 10).BeforeFirst(L',').BeforeFirst(L'}'));
    EXPECT_EQ((std::vector<wxString>{L"null", L"250", L"40", L"null", L"null", L"null", L"5"}), held);
    wxRemoveFile(path);
    wxRmdir(folder);
}

// Each logged change asks the platform once about the input in the span
// set; none in it (input at its very edge still counts) is unprompted, and
// the per-program counts follow.
TEST_F(ForegroundEventsTest, AChangeWithoutInputJustBeforeItIsUnprompted)
{
    logger.SetPromptedWithinMs(300);
    const std::pair<WindowHandle, ChangeInput> changes[] = {
        {100, ChangeInput{300u, std::nullopt, ActivationRequest::Unknown}},
        {300, ChangeInput{301u, std::nullopt, ActivationRequest::Application}},
        {200, ChangeInput{std::nullopt, false, ActivationRequest::Unknown}},
        {100, ChangeInput{std::nullopt, true, ActivationRequest::Pager}},
        {300, ChangeInput{}},
    };
    for (const auto& [window, input] : changes)
        desktop.input = input, desktop.Activate(window);
    EXPECT_EQ(std::vector<unsigned>(5, 300u), desktop.askedWithinMs);
    std::map<std::string, std::pair<long long, long long>> counts;
    for (const ProgramHolds& program : logger.Holds().Programs())
        counts[program.module] = {program.takes, program.unprompted};
    EXPECT_EQ((std::map<std::string, std::pair<long long, long long>>{
                  {"notepad.exe", {2, 0}}, {"thief", {2, 1}}, {"mail", {1, 1}}}),
              counts);
}

// What may leave the screen: each stored change goes to the record file and
// the system log alike, with the record's fields in its order; the filter
// keeps excluded programs and titles out of both, and with titles off no
// title reaches either, not even inside the system log's line.
TEST_F(ForegroundEventsTest, TheSystemLogGetsWhatTheRecordGetsAndTheFilterKeepsOutOfBoth)
{
    const wxString path = wxFileName::CreateTempFileName(L"corvalin-stored");
    wxString problem;
    ASSERT_TRUE(logger.OpenRecord(path, problem)) << problem;
    auto journal = std::make_shared<FakeSystemLogState>();
    logger.SetSystemLog(std::make_unique<FakeSystemLog>(journal), nullptr);
    EXPECT_TRUE(logger.Filter().Set(L"thief|note", L"In.*", true).empty());
    desktop.input = ChangeInput{30u, std::nullopt, ActivationRequest::Pager};
    desktop.Activate(100);
    desktop.input = ChangeInput{9000u, std::nullopt, ActivationRequest::Application};
    desktop.Activate(300);  // excluded: its module
    desktop.Activate(200);  // excluded: its title
    desktop.Activate(100);
    logger.Filter().Set(wxString(), wxString(), false);
    desktop.Activate(200);
    ASSERT_TRUE(journal->WaitFor([](auto& log) { return log.taken.size() == 3; }));

    const std::vector<SystemLogEvent>& events = journal->taken;
    EXPECT_EQ(events[0].message, "001.  17:05:083     notepad.exe - Untitled - Notepad (100)");
    EXPECT_EQ(events[1].message.substr(0, 4), "004.");
    EXPECT_EQ(events[2].message, "005.  17:05:083     mail -  (200)");
    EXPECT_EQ((std::vector<bool>{false, true, true}),
              (std::vector<bool>{events[0].unprompted, events[1].unprompted, events[2].unprompted}));
    EXPECT_EQ(events[0].pid, 11u);
    std::vector<std::pair<std::string, std::string>> fields = events[0].fields;
    // The first 13 as every earlier version wrote them; who is behind the
    // change follows, the chain as "pid:module" texts.
    ASSERT_EQ(fields.size(), 30u);
    EXPECT_EQ(fields[17].first, "parents");
    fields.resize(13);
    EXPECT_EQ(fields[0].second.substr(0, 23), "2026-12-07T10:17:05.083");
    fields.erase(fields.begin());
    EXPECT_EQ((decltype(fields){{"number", "1"}, {"module", "notepad.exe"},
                                {"path", "/usr/bin/notepad.exe"}, {"pid", "11"}, {"class", "FakeClass"},
                                {"title", "Untitled - Notepad"}, {"handle", "100"}, {"seen", "event"},
                                {"held_ms", ""}, {"idle_ms", "30"}, {"unprompted", "false"},
                                {"request", "pager"}}),
              fields);
    EXPECT_EQ(events[2].fields[6].second, "");
    wxString text;
    ASSERT_TRUE(wxFile(path).ReadAll(&text));
    EXPECT_EQ(text.Freq(L'\n'), 3u);
    EXPECT_TRUE(text.Contains(L"\"title\":\"\",\"handle\":200,")) << text;
    EXPECT_FALSE(text.Contains(L"thief") || text.Contains(L"Inbox")) << text;
    wxRemoveFile(path);
}

// A stalled system log never holds up a line: the log goes on, and once
// the backlog is full the loss is told once.  A refusing log is told once
// too, and ending the writer does not wait for a thread stuck in the log.
TEST_F(ForegroundEventsTest, AStalledOrRefusingSystemLogIsToldOnceAndLoggingGoesOn)
{
    auto journal = std::make_shared<FakeSystemLogState>();
    wxCriticalSection guard;
    std::vector<wxString> told;
    auto tell = [&](const wxString& text) { wxCriticalSectionLocker lock(guard); told.push_back(text); };
    const int backlog = SystemLogWriter::kDefaultBacklog;
    journal->Set([](auto& log) { log.stalled = true; });
    logger.SetSystemLog(std::make_unique<FakeSystemLog>(journal), tell);
    desktop.Activate(100);
    ASSERT_TRUE(journal->WaitFor([](auto& log) { return log.writes == 1; }));  // stuck in it
    for (int i = 0; i < backlog + 20; ++i)
        desktop.Activate(i % 2 ? 100 : 200);
    EXPECT_EQ(lines.size(), backlog + 21u);
    journal->Set([](auto& log) { log.stalled = false; });
    EXPECT_TRUE(journal->WaitFor([&](auto& log) { return log.taken.size() == backlog + 1u; }));
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].Contains(L"stalls")) << told[0];

    journal->Set([](auto& log) { log.refuse = true; });
    told.clear();
    logger.SetSystemLog(std::make_unique<FakeSystemLog>(journal), tell);
    for (WindowHandle window : {300, 100, 300})
        desktop.Activate(window);
    // Begun the third write, the writer has told what the first one met.
    EXPECT_TRUE(journal->WaitFor([&](auto& log) { return log.writes == backlog + 4; }));
    {
        wxCriticalSectionLocker lock(guard);
        EXPECT_EQ(told, std::vector<wxString>{L"refused"});
        told.clear();
    }

    journal->Set([](auto& log) { log.stalled = true; });
    desktop.Activate(100);
    ASSERT_TRUE(journal->WaitFor([&](auto& log) { return log.writes == backlog + 5; }));
    const auto before = std::chrono::steady_clock::now();
    logger.SetSystemLog(nullptr, nullptr);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
    journal->Set([](auto& log) { log.stalled = false; });
}

TEST_F(ForegroundMonitorTest, AWindowNamedAfterItIsGoneIsLoggedOnceNotOnEveryTick)
{
    desktop.foreground = 100;
    Sample();
    desktop.DestroyWindow(100);
    desktop.foreground = 100;  // the stale name stays
    EXPECT_TRUE(Sample().Contains(L"Not a valid window - Not a valid window (100)"));
    for (int tick = 0; tick < 20; ++tick)
        EXPECT_TRUE(Sample().empty());
    EXPECT_EQ(monitor.LineCount(), 2);
    // A new window under the same handle is a change again.
    desktop.AddWindow(100, L"again", 11);
    EXPECT_TRUE(Sample().StartsWith(L"003."));
}

TEST_F(ForegroundMonitorTest, TitlesAreCleanedBeforeTheyAreCut)
{
    desktop.AddWindow(700, wxString(L"a\nb\tc\x1b[31md\r") + wxString(L'\u2028') + L"e", 11);
    desktop.foreground = 700;
    const wxString line = Sample();
    EXPECT_TRUE(line.Contains(L"notepad.exe - a b c [31md  e (700) \n")) << line;
    EXPECT_EQ(line.Freq(L'\n'), 1u);
    wxString module, title;
    desktop.AddWindow(701, wxString(L'\n', 300), 11);
    monitor.GetWindowIdentity(701, module, title);
    EXPECT_EQ(title, wxString(L' ', 255));
    desktop.AddWindow(702, wxString(L'\u00e9', 300), 11);
    monitor.GetWindowIdentity(702, module, title);
    EXPECT_EQ(title, wxString(L'\u00e9', 255));
    EXPECT_EQ(module, L"notepad.exe");
    // Bidirectional controls are spaces in the line only; the record gets
    // the title as it is.
    desktop.AddWindow(703, L"x\u202Ey\u2066z", 11);
    desktop.foreground = 703;
    ActivityEntry entry;
    ASSERT_TRUE(monitor.FormatForegroundChange(Seen::Tick, entry));
    EXPECT_TRUE(entry.line.Contains(L" - x y z (703) \n")) << entry.line;
    EXPECT_EQ(entry.title, L"x\u202Ey\u2066z");
}

// What the thieves pane and the notifications read: each program's last
// line while the log holds it, and a theft told once it ends, but only one
// seen to begin (not line 1 of a run or of a cleared log) and not our own.
TEST_F(ForegroundEventsTest, LastLinesFollowTheLogAndOnlySeenTheftsAreTold)
{
    std::vector<Hold> told;
    logger.OnTheftEnded([&](const Hold& hold, const wxString&) { told.push_back(hold); });
    const wxDateTime start = g_now;
    auto change = [&](long afterMs, WindowHandle window, std::uint64_t idleMs) {
        g_now += wxTimeSpan::Milliseconds(afterMs);
        desktop.input = ChangeInput{idleMs, std::nullopt, ActivationRequest::Unknown};
        desktop.Activate(window);
    };
    change(0, 100, 5000);
    change(250, 200, 10);
    change(1000, 300, 5000);
    change(40, 200, 5000);  // back: the theft ends
    ASSERT_EQ(1u, told.size());
    EXPECT_EQ("thief", told[0].module);
    EXPECT_EQ(40, *told[0].endMs - told[0].startMs);
    EXPECT_EQ(4, logger.LastLineOf("mail").value_or(-1));
    EXPECT_EQ(3, logger.LastLineOf("thief").value_or(-1));

    logger.ClearLog();
    EXPECT_FALSE(logger.LastLineOf("mail"));
    change(10, 300, 5000);
    change(10, 100, 10);
    EXPECT_EQ(1u, told.size());
    EXPECT_EQ(1, logger.LastLineOf("thief").value_or(-1));

    // Our own window, however slowly it came forward after the user asked
    // for it, is never told as a theft; a stranger's right after it is.
    const unsigned long ownPid = wxGetProcessId();
    desktop.AddWindow(400, L"Corvalin : Keep Watch!", ownPid);
    desktop.modules[ownPid] = L"Corvalin";
    change(10, 400, 5000);
    change(600, 100, 5000);
    change(10, 300, 5000);
    change(30, 100, 5000);
    ASSERT_EQ(2u, told.size());
    EXPECT_EQ("thief", told[1].module);
    g_now = start;
}

// A refused try at the focus: no line in the log and no number, but a line
// in the record naming the window in front, counted for its program (not
// for Corvalin's own windows), at most once a second per window.
TEST_F(ForegroundEventsTest, AttemptsAreRecordedAndCountedButNeverNumbered)
{
    const wxString folder = wxFileName::CreateTempFileName(L"corvalin-attempts");
    ASSERT_TRUE(wxRemoveFile(folder) && wxMkdir(folder, 0700));
    wxString problem;
    ASSERT_TRUE(logger.OpenRecord(folder + L"/focus.jsonl", problem)) << problem;
    const wxDateTime start = g_now;
    desktop.Activate(100);
    desktop.Attempt(300, AttemptKind::Urgent);
    g_now += wxTimeSpan::Milliseconds(400);
    desktop.Attempt(300, AttemptKind::Attention);  // within the second: the same attempt
    g_now += wxTimeSpan::Milliseconds(700);
    desktop.Attempt(300, AttemptKind::RefusedRequest);
    desktop.AddWindow(400, L"Corvalin : Keep Watch!", wxGetProcessId());
    desktop.modules[wxGetProcessId()] = L"Corvalin";
    desktop.Attempt(400, AttemptKind::Attention);
    monitoring = false;
    desktop.Attempt(200, AttemptKind::Attention);  // not while monitoring is off
    monitoring = true;
    desktop.Activate(200);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[1].StartsWith(L"002.")) << lines[1];
    long long attempts = 0;
    for (const ProgramHolds& program : logger.Holds().Programs())
        attempts += program.attempts * (program.module == "thief" ? 1 : 1000);
    EXPECT_EQ(2, attempts);

    wxString text;
    ASSERT_TRUE(wxFile(folder + L"/focus.jsonl").ReadAll(&text));
    wxArrayString record = wxSplit(text.Trim(), L'\n', L'\0');
    ASSERT_EQ(record.size(), 5u) << text;
    EXPECT_TRUE(record[1].Contains(L"\"number\":null,\"module\":\"thief\"")) << record[1];
    EXPECT_TRUE(record[1].Contains(L"\"seen\":\"attempt\"")) << record[1];
    EXPECT_TRUE(record[1].EndsWith(L"\"own\":false,\"attempt\":\"urgent\",\"focused\":100}")) << record[1];
    EXPECT_TRUE(record[2].Contains(L"\"attempt\":\"refused-request\"")) << record[2];
    EXPECT_TRUE(record[3].Contains(L"\"own\":true,\"attempt\":\"attention\"")) << record[3];
    EXPECT_TRUE(record[4].Contains(L"\"number\":2,")) << record[4];
    RecordedChange read;
    EXPECT_EQ(RecordLineKind::Attempt, ParseRecordLine(std::string(record[1].utf8_str()), read));
    EXPECT_EQ("urgent", read.attempt);
    g_now = start;
    wxFileName::Rmdir(folder, wxPATH_RMDIR_RECURSIVE);
}
