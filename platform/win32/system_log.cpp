#include "platform/system_log.h"

#include <string>
#include <vector>

#include <windows.h>

#include <wx/intl.h>
#include <wx/log.h>

namespace
{
// Our source in the Application log, and the event ids of
// resources/event_messages.mc, whose texts Event Viewer shows.
constexpr wchar_t kSource[] = L"Corvalin";
constexpr DWORD kChange = 1;
constexpr DWORD kUnpromptedTake = 2;
constexpr DWORD kAttempt = 3;

std::wstring Wide(const std::string& utf8)
{
    if (utf8.empty())
        return std::wstring();
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                           nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], size);
    return wide;
}

class EventLog : public SystemLog
{
public:
    ~EventLog() override
    {
        if (m_source)
            ::DeregisterEventSource(m_source);
    }

    bool Write(const SystemLogEvent& event, wxString& problem) override
    {
        // A source nobody registered is taken all the same, under its name;
        // only Event Viewer then lacks the texts of its events.
        if (!m_source && !(m_source = ::RegisterEventSourceW(nullptr, kSource)))
        {
            problem = wxString::Format(_("The Event Log cannot be opened: %s"),
                                       wxSysErrorMsgStr(::GetLastError()));
            return false;
        }
        // The line, then the record's fields, always in the record's order.
        std::vector<std::wstring> texts;
        texts.reserve(event.fields.size() + 1);
        texts.push_back(Wide(event.message));
        for (const auto& field : event.fields)
            texts.push_back(Wide(field.second));
        std::vector<LPCWSTR> strings;
        for (const std::wstring& text : texts)
            strings.push_back(text.c_str());
        if (::ReportEventW(m_source,
                           event.unprompted ? EVENTLOG_WARNING_TYPE : EVENTLOG_INFORMATION_TYPE, 0,
                           event.attempt ? kAttempt : event.unprompted ? kUnpromptedTake : kChange, nullptr,
                           static_cast<WORD>(strings.size()), 0, strings.data(), nullptr))
            return true;
        problem = wxString::Format(_("The Event Log takes no events: %s"),
                                   wxSysErrorMsgStr(::GetLastError()));
        return false;
    }

private:
    HANDLE m_source = nullptr;
};

DWORD WINAPI RunWork(LPVOID parameter)
{
    const std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    (*work)();
    return 0;
}
}  // namespace

std::unique_ptr<SystemLog> CreateSystemLog()
{
    return std::make_unique<EventLog>();
}

wxString SystemLogMenuLabel()
{
    return _("Log to Event Log");
}

bool RunDetached(std::function<void()> work)
{
    auto* parameter = new std::function<void()>(std::move(work));
    const HANDLE thread = ::CreateThread(nullptr, 0, &RunWork, parameter, 0, nullptr);
    if (!thread)
    {
        delete parameter;
        return false;
    }
    ::CloseHandle(thread);
    return true;
}
