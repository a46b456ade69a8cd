// Who is behind a take: the launcher chain read from a process table in
// memory (ids handed out again, parents gone, the session's root), the name
// that says who launched a window, and whether the user's input caused it.
#include <gtest/gtest.h>

#include "monitor/culprit.h"
#include "monitor/process_chain.h"
#include "support/fake_window_platform.h"

namespace
{
ProcessInfo Process(unsigned long parent, std::int64_t startedMs, const wchar_t* module,
                    const wchar_t* commandLine = nullptr)
{
    ProcessInfo info;
    info.parentPid = parent;
    info.startedMs = startedMs;
    info.module = module;
    if (commandLine)
        info.commandLine = wxString(commandLine);
    return info;
}

std::vector<wxString> Modules(const ProcessFacts& facts)
{
    std::vector<wxString> modules;
    for (const ProcessLink& link : facts.parents)
        modules.push_back(link.module);
    return modules;
}
}  // namespace

TEST(ProcessChains, NameTheLaunchersAndStopWhereTheChainCannotBeTrusted)
{
    FakeWindowPlatform desktop;
    desktop.processes[900] = Process(1, 100, L"systemd");
    desktop.processes[700] = Process(900, 5000, L"updater");
    desktop.processes[710] = Process(700, 5100, L"sh", L"sh -c xterm -e ./fetch");
    desktop.processes[720] = Process(710, 5200, L"xterm", L"xterm\x1b[31m -e\n./fetch");
    // 730's parent 740 died and its id went to a later process.
    desktop.processes[740] = Process(900, 9000, L"cron");
    desktop.processes[730] = Process(740, 8000, L"zenity");
    // 750's parent is gone and its id unused.
    desktop.processes[750] = Process(760, 8000, L"notify-send");
    ProcessChains chains(desktop);

    const auto xterm = chains.Facts(720);
    EXPECT_EQ((std::vector<wxString>{L"sh", L"updater", L"systemd"}), Modules(*xterm));
    EXPECT_EQ(ChainEnd::Root, xterm->end);
    EXPECT_EQ(L"updater", LauncherName(xterm->parents));
    EXPECT_EQ(wxString(L"xterm [31m -e ./fetch"), xterm->commandLine.value_or(L"?"));

    const auto zenity = chains.Facts(730);
    EXPECT_TRUE(zenity->parents.empty());
    EXPECT_EQ(ChainEnd::Reused, zenity->end);
    EXPECT_EQ(L"", LauncherName(zenity->parents));
    EXPECT_EQ(ChainEnd::Gone, chains.Facts(750)->end);
    EXPECT_EQ(ChainEnd::Unreadable, chains.Facts(4242)->end);

    // Kept while the same process lives; read anew once its id is reused.
    EXPECT_EQ(xterm, chains.Facts(720));
    desktop.processes[720] = Process(700, 9500, L"xmessage");
    const auto later = chains.Facts(720);
    EXPECT_NE(xterm, later);
    EXPECT_EQ((std::vector<wxString>{L"updater", L"systemd"}), Modules(*later));

    // A long chain is cut at the most levels kept.
    for (unsigned long pid = 2000; pid < 2012; ++pid)
        desktop.processes[pid] = Process(pid + 1, 20000 - pid, L"nest");
    EXPECT_EQ(ProcessChains::kMaxParents, chains.Facts(2000)->parents.size());
    EXPECT_EQ(ChainEnd::Limit, chains.Facts(2000)->end);

    // A long command line is cut, and says so.
    desktop.processes[3000] = Process(900, 30000, L"python3", std::wstring(5000, L'x').c_str());
    const wxString cut = chains.Facts(3000)->commandLine.value_or(L"");
    EXPECT_EQ(ProcessChains::kMaxCommandLine + 1, cut.length());
    EXPECT_EQ(L'\u2026', cut.Last());
}

TEST(Culprit, TheLauncherIsNamedPastShellsTerminalsAndByItsScript)
{
    const auto link = [](const wchar_t* module, const wchar_t* commandLine = nullptr) {
        ProcessLink process;
        process.module = module;
        if (commandLine)
            process.commandLine = wxString(commandLine);
        return process;
    };
    EXPECT_EQ(L"nag.sh", LauncherName({link(L"bash", L"bash /usr/local/bin/nag.sh --now"), link(L"cron")}));
    EXPECT_EQ(L"cron", LauncherName({link(L"sh", L"sh -c zenity --info"), link(L"cron")}));
    EXPECT_EQ(L"ChatGPT.exe", LauncherName({link(L"powershell.exe", L"powershell.exe -Command tzutil /g"),
                                            link(L"ChatGPT.exe"), link(L"explorer.exe")}));
    EXPECT_EQ(L"updater.py", LauncherName({link(L"python3", L"/usr/bin/python3 -u updater.py")}));
    EXPECT_EQ(L"", LauncherName({link(L"foot"), link(L"bash", L"-bash"), link(L"systemd"), link(L"evil")}));

    EXPECT_EQ(L"foot (updater)", ProgramName(L"foot", L"updater"));
    EXPECT_EQ(L"foot", ProgramName(L"foot", L"foot"));
    EXPECT_EQ(L"xterm", ProgramName(L"xterm", L"XTerm"));
    EXPECT_EQ(L"gnome-terminal-server", ProgramName(L"gnome-terminal-server", L"Gnome-terminal"));
    EXPECT_EQ(L"gedit", ProgramName(L"gedit", L"Org.gnome.gedit"));
    EXPECT_EQ(L"conhost.exe (cmd.exe)", ProgramName(L"conhost.exe", L"ConsoleWindowClass", L"cmd.exe"));
}

// The cases the typist met: each row is what the platform told and how the
// take must be judged.
TEST(Culprit, ATheftWhileTheUserTypesIsUnprompted)
{
    struct Case
    {
        const char* what;
        ChangeInput input;
        std::optional<bool> newWindow;
        unsigned long previousPid;
        bool previousGone;
        std::optional<bool> unprompted;
        TakeCause cause;
    };
    const auto typed = [](std::uint64_t keyMs, std::optional<std::uint64_t> clickMs = std::nullopt) {
        ChangeInput input;
        input.idleMs = keyMs;
        input.tellsKinds = true;
        input.sinceKeyMs = keyMs;
        input.sinceClickMs = clickMs;
        return input;
    };
    ChangeInput elsewhere = typed(9000, 30);
    elsewhere.clickOnWindow = false;
    ChangeInput moved = typed(9000);
    moved.idleMs = 10;  // only the pointer moved
    ChangeInput idle;
    idle.idleMs = 4000;
    ChangeInput busy;  // input, of a kind the platform cannot tell
    busy.idleMs = 100;
    ChangeInput scripted = idle;  // a pager's request with nobody at the keys
    scripted.request = ActivationRequest::Pager;
    ChangeInput paged = moved;  // the pointer worked a pager
    paged.request = ActivationRequest::Pager;
    ChangeInput asked = typed(50);
    asked.request = ActivationRequest::Application;
    const Case cases[] = {
        {"a new window while typing elsewhere", typed(40), true, 10, false, true, TakeCause::None},
        {"a new window from the terminal typed in", typed(40), true, 20, false, false, TakeCause::Launcher},
        {"a new window of the program typed in", typed(40), true, 30, false, false, TakeCause::Launcher},
        {"a new window after a run dialog closed", typed(40), true, 10, true, false, TakeCause::Launcher},
        {"an old window raised by its program", asked, false, 10, false, true, TakeCause::None},
        {"the window manager's switching keys", typed(40), false, 10, false, false, TakeCause::Keys},
        {"a click", typed(40, 30), true, 10, false, false, TakeCause::Click},
        {"a click into another window", elsewhere, true, 10, false, true, TakeCause::None},
        {"a pager used by the user", paged, false, 10, false, false, TakeCause::Request},
        {"a pager's request from a script", scripted, false, 10, false, true, TakeCause::None},
        {"the pointer moved, nothing pressed", moved, true, 10, false, true, TakeCause::None},
        {"no input at all", idle, false, 10, false, true, TakeCause::None},
        {"input of an unknown kind", busy, false, 10, false, false, TakeCause::Unknown},
        {"nothing known of the input", ChangeInput(), true, 10, false, std::nullopt, TakeCause::Unknown},
    };
    for (const Case& c : cases)
    {
        TakeFacts facts;
        facts.input = c.input;
        facts.newWindow = c.newWindow;
        facts.pid = 30;
        facts.launchers = {20, 1};
        facts.previousPid = c.previousPid;
        facts.previousGone = c.previousGone;
        const TakeVerdict verdict = JudgeTake(facts, 500);
        EXPECT_EQ(c.unprompted, verdict.unprompted) << c.what;
        EXPECT_EQ(c.cause, verdict.cause) << c.what;
    }
}
