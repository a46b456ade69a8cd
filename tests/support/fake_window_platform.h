#pragma once

#include <map>
#include <functional>
#include <vector>

#include "platform/window_tracking.h"

// A desktop in memory: windows with titles and owning processes, processes
// with executables, and one foreground window.  Counts the calls so that
// tests can see what an idle sample costs.
class FakeWindowPlatform : public WindowPlatform
{
public:
    struct Window
    {
        wxString title;
        unsigned long pid = 0;
    };

    void AddWindow(WindowHandle handle, const wxString& title, unsigned long pid)
    {
        windows[handle] = Window{title, pid};
    }
    void DestroyWindow(WindowHandle handle)
    {
        windows.erase(handle);
        if (foreground == handle)
            foreground = 0;
    }

    WindowHandle ForegroundWindow() override
    {
        ++foregroundQueries;
        return m_told ? m_told : foreground;
    }
    bool IsValidWindow(WindowHandle window) override
    {
        ++validityChecks;
        return window != 0 && windows.count(window) != 0;
    }
    wxString WindowTitle(WindowHandle window) override
    {
        ++otherCalls;
        auto it = windows.find(window);
        return it == windows.end() ? wxString() : it->second.title;
    }
    unsigned long WindowProcessId(WindowHandle window) override
    {
        ++otherCalls;
        auto it = windows.find(window);
        return it == windows.end() ? 0 : it->second.pid;
    }
    bool ProcessModuleName(unsigned long pid, wxString& name) override
    {
        ++otherCalls;
        auto it = modules.find(pid);
        if (it == modules.end())
            return false;
        name = it->second;
        return true;
    }
    void DebugOutput(const wxString& text) override { debugOutput.push_back(text); }
    void GiveForeground(WindowHandle window) override
    {
        if (IsValidWindow(window))
            foreground = window;
    }
    bool ProcessExecutablePath(unsigned long pid, wxString& path) override
    {
        wxString name;
        if (!ProcessModuleName(pid, name))
            return false;
        path = L"/usr/bin/" + name;
        return true;
    }
    wxString WindowClass(WindowHandle window) override
    {
        ++otherCalls;
        return windows.count(window) ? wxString(L"FakeClass") : wxString();
    }
    bool StartEvents(std::function<void()> onChange) override
    {
        onForegroundChange = std::move(onChange);
        return true;
    }
    void WatchWindow(WindowHandle window) override { watched = window; }
    void WatchAttempts(std::function<void(WindowHandle, AttemptKind)> attempted) override
    {
        onAttempt = std::move(attempted);
    }
    bool TellsAttempts() const override { return true; }
    wxString WindowAppId(WindowHandle window) override
    {
        const auto it = appIds.find(window);
        return it == appIds.end() ? wxString() : it->second;
    }

    // What a platform with events does when the foreground changes.
    // A program asks for the focus and the desktop refuses: no change.
    void Attempt(WindowHandle window, AttemptKind kind)
    {
        if (onAttempt)
            onAttempt(window, kind);
    }
    std::function<void(WindowHandle, AttemptKind)> onAttempt;

    void Activate(WindowHandle window)
    {
        foreground = window;
        if (onForegroundChange)
            onForegroundChange();
    }

    // A change told late, after the foreground may have moved on: while
    // onChange runs, the foreground is the window the event named.
    void DeliverEvent(WindowHandle window, const wxDateTime& when)
    {
        m_told = window;
        m_toldTime = when;
        if (onForegroundChange)
            onForegroundChange();
        m_told = 0;
        m_toldTime = wxDateTime();
    }
    wxDateTime ChangeTime() override { return m_toldTime; }
    ChangeInput InputBeforeChange(unsigned withinMs) override
    {
        askedWithinMs.push_back(withinMs);
        return input;
    }

    bool ProcessDetails(unsigned long pid, ProcessInfo& info) override
    {
        const auto it = processes.find(pid);
        if (it == processes.end())
            return false;
        info = it->second;
        info.pid = pid;
        return true;
    }
    bool ProcessStart(unsigned long pid, std::int64_t& startedMs, unsigned long& parentPid) override
    {
        ProcessInfo info;
        if (!ProcessDetails(pid, info) || !info.startedMs)
            return false;
        startedMs = *info.startedMs;
        parentPid = info.parentPid;
        return true;
    }
    std::vector<unsigned long> RecentProcesses(std::int64_t sinceMs) override
    {
        std::vector<unsigned long> pids;
        for (const auto& [pid, info] : processes)
        {
            if (info.startedMs && *info.startedMs >= sinceMs)
                pids.push_back(pid);
        }
        return pids;
    }
    std::optional<bool> WindowIsNew(WindowHandle window, unsigned) override
    {
        const auto it = newWindows.find(window);
        return it == newWindows.end() ? std::nullopt : std::optional<bool>(it->second);
    }

    // The processes behind windows and their launchers; none unless a test
    // adds them.
    std::map<unsigned long, ProcessInfo> processes;
    // Which windows were created just before they took the focus.
    std::map<WindowHandle, bool> newWindows;
    // What a compositor calls the program of a window, where it names no process.
    std::map<WindowHandle, wxString> appIds;
    std::map<WindowHandle, Window> windows;
    std::map<unsigned long, wxString> modules;
    WindowHandle foreground = 0;
    WindowHandle watched = 0;
    std::function<void()> onForegroundChange;
    std::vector<wxString> debugOutput;
    // What the user's input before each change is told to have been.
    ChangeInput input;
    std::vector<unsigned> askedWithinMs;
    int foregroundQueries = 0;
    int validityChecks = 0;
    int otherCalls = 0;

private:
    WindowHandle m_told = 0;
    wxDateTime m_toldTime;
};
