#include "monitor/culprit.h"

#include <algorithm>
#include <initializer_list>

#include <wx/arrstr.h>

namespace
{
// Lower case, without ".exe": the name as the lists below spell it.
wxString Plain(const wxString& module)
{
    wxString name = module.Lower();
    if (name.EndsWith(L".exe"))
        name.RemoveLast(4);
    return name;
}

bool OneOf(const wxString& name, std::initializer_list<const wchar_t*> names)
{
    return std::any_of(names.begin(), names.end(), [&](const wchar_t* n) { return name == n; });
}

bool IsTerminal(const wxString& name)
{
    return OneOf(name, {L"xterm", L"uxterm", L"foot", L"footclient", L"gnome-terminal-server",
                        L"gnome-terminal", L"konsole", L"kitty", L"alacritty", L"wezterm-gui",
                        L"xfce4-terminal", L"urxvt", L"rxvt", L"st", L"tilix", L"terminator",
                        L"lxterminal", L"mate-terminal", L"qterminal", L"kgx", L"sakura",
                        L"terminology", L"tmux: server", L"tmux", L"screen", L"sshd",
                        L"conhost", L"openconsole", L"windowsterminal", L"wineconsole"});
}
}  // namespace

bool IsSessionRoot(const wxString& module)
{
    return OneOf(Plain(module),
                 {L"systemd", L"init", L"gdm-wayland-session", L"gdm-x-session", L"gdm-session-worker",
                  L"sddm-helper", L"lightdm", L"gnome-session-binary", L"gnome-session",
                  L"startplasma-wayland", L"startplasma-x11", L"plasma_session", L"ksmserver",
                  L"xinit", L"login", L"explorer", L"services", L"svchost", L"wininit",
                  L"winlogon", L"userinit"});
}

bool IsShellOrInterpreter(const wxString& module)
{
    const wxString name = Plain(module);
    if (name.StartsWith(L"python") || name.StartsWith(L"perl") || name.StartsWith(L"ruby") ||
        name.StartsWith(L"lua"))
        return true;
    return OneOf(name, {L"sh", L"bash", L"dash", L"zsh", L"fish", L"ksh", L"mksh", L"csh", L"tcsh",
                        L"busybox", L"env", L"node", L"nodejs", L"gjs", L"osascript", L"tclsh",
                        L"wish", L"php", L"cmd", L"powershell", L"pwsh", L"wscript", L"cscript",
                        L"mshta", L"rundll32", L"start", L"nohup", L"setsid", L"timeout",
                        L"xdg-open", L"gio", L"sudo", L"runuser", L"su", L"flock", L"nice"});
}

bool IsHost(const wxString& module)
{
    const wxString name = Plain(module);
    return IsTerminal(name) || IsShellOrInterpreter(name) ||
           OneOf(name, {L"firefox", L"firefox-esr", L"chrome", L"chromium", L"google-chrome",
                        L"msedge", L"brave", L"electron", L"java", L"javaw", L"msrdc", L"wslg",
                        L"mstsc", L"xwayland", L"wine", L"wine64", L"wine-preloader",
                        L"wine64-preloader", L"flatpak", L"bwrap"});
}

wxString ScriptOf(const wxString& commandLine)
{
    const wxArrayString words = wxSplit(commandLine, L' ', L'\0');
    for (size_t i = 1; i < words.size(); ++i)
    {
        const wxString& word = words[i];
        if (word.empty())
            continue;
        // An inline command: the shell itself is all there is to name.
        if (word == L"-c" || word.Lower() == L"/c" || word.Lower() == L"/k" ||
            word.Lower() == L"-command" || word == L"-e")
            return wxString();
        if (word == L"-m" && i + 1 < words.size())
            return words[i + 1];
        if (word[0] == L'-' || (word[0] == L'/' && word.length() == 2))
            continue;
        // An assignment before the command, as env takes it.
        if (word.Find(L'=') != wxNOT_FOUND && word.Find(L'/') == wxNOT_FOUND)
            continue;
        const size_t slash = word.find_last_of(L"/\\");
        return slash == wxString::npos ? word : word.Mid(slash + 1);
    }
    return wxString();
}

wxString LauncherName(const std::vector<ProcessLink>& parents)
{
    for (const ProcessLink& link : parents)
    {
        if (IsSessionRoot(link.module))
            break;
        if (IsShellOrInterpreter(link.module))
        {
            const wxString script = link.commandLine ? ScriptOf(*link.commandLine) : wxString();
            if (!script.empty())
                return script;
            continue;
        }
        if (IsTerminal(Plain(link.module)))
            continue;
        return link.module;
    }
    return wxString();
}

wxString ProgramName(const wxString& module, const wxString& windowClass,
                     const wxString& clientModule)
{
    if (!clientModule.empty() && clientModule != module)
        return module + L" (" + clientModule + L")";
    if (windowClass.empty() || !IsHost(module))
        return module;
    // The class a host gives all its windows names no app of its own
    // ("XTerm", "Gnome-terminal", "firefox", "ConsoleWindowClass").
    const wxString name = Plain(module);
    const wxString cls = Plain(windowClass);
    if (cls == name || name.StartsWith(cls) || cls.StartsWith(name) ||
        OneOf(cls, {L"consolewindowclass", L"pseudoconsolewindow", L"cascadia_hosting_window_class",
                    L"wineconsoleclass", L"chrome_widgetwin_1", L"mozillawindowclass",
                    L"navigator", L"sunawtframe", L"tk", L"toplevel", L"rail_window", L"uxterm"}))
        return module;
    return module + L" (" + windowClass + L")";
}

const char* TakeCauseName(TakeCause cause)
{
    switch (cause)
    {
    case TakeCause::Click:
        return "click";
    case TakeCause::Keys:
        return "keys";
    case TakeCause::Request:
        return "request";
    case TakeCause::Launcher:
        return "launcher";
    case TakeCause::None:
        return "none";
    case TakeCause::Unknown:
        break;
    }
    return nullptr;
}

TakeVerdict JudgeTake(const TakeFacts& facts, std::uint64_t withinMs)
{
    const ChangeInput& input = facts.input;
    std::optional<bool> anyInput;
    if (input.idleMs)
        anyInput = *input.idleMs <= withinMs;
    else if (input.inputWithin)
        anyInput = *input.inputWithin;
    const bool click = input.sinceClickMs && *input.sinceClickMs <= withinMs;
    if (click && input.clickOnWindow != false)
        return {false, TakeCause::Click};
    // A press on another window is input to it, as keys are.
    const bool keys = (input.sinceKeyMs && *input.sinceKeyMs <= withinMs) || click;
    // A pager or taskbar is worked with the pointer too: its request counts
    // as the user's while there was any input at all.  Any script can send
    // one, so with nobody at the desktop it proves nothing.
    if (input.request == ActivationRequest::Pager && (anyInput == true || keys))
        return {false, TakeCause::Request};
    // Where keys and presses are told apart, moving the pointer alone is no
    // input that asks for anything else.
    if (input.tellsKinds)
        anyInput = keys;
    if (anyInput == false)
        return {true, TakeCause::None};
    if (!anyInput)
        return {};
    // There was input, and no pointer press that the platform saw.
    const bool fromPrevious =
        facts.previousPid != 0 &&
        (facts.previousPid == facts.pid ||
         std::find(facts.launchers.begin(), facts.launchers.end(), facts.previousPid) !=
             facts.launchers.end() ||
         facts.launchedFromPrevious);
    if (fromPrevious)
        return {false, TakeCause::Launcher};
    if (facts.newWindow == true)
    {
        // The window that had the input closed: it was the launcher's own
        // (a run dialog, a menu), and the new window is what it started.
        if (facts.previousGone)
            return {false, TakeCause::Launcher};
        return {true, TakeCause::None};
    }
    // An old window that a program raised for itself while the user worked
    // elsewhere.
    if (input.request == ActivationRequest::Application)
        return {true, TakeCause::None};
    // Keys with no request: the window manager's own switching keys.
    if (keys)
        return {false, TakeCause::Keys};
    // Input of a kind the platform cannot tell: a click on the window is as
    // likely as the switching keys.
    return {false, TakeCause::Unknown};
}
