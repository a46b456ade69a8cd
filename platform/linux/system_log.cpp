#include "platform/system_log.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <sys/uio.h>
// Our entries need no CODE_FILE and CODE_LINE of this file.
#define SD_JOURNAL_SUPPRESS_LOCATION
#include <systemd/sd-journal.h>

#include <wx/intl.h>

namespace
{
// Where journald listens; sd_journal_send says nothing when it is missing.
constexpr char kJournalSocket[] = "/run/systemd/journal/socket";
// Every entry of ours carries it, so that a catalog or a query can find
// them whatever the identifier: made once with `systemd-id128 new`.
constexpr char kMessageId[] = "MESSAGE_ID=95ba86bebfff41c28796767ac976a5ac";
// A refused try at the focus: no change, so a message of its own.
constexpr char kAttemptMessageId[] = "MESSAGE_ID=4d2b7f0e9c1a4e52a3f6d8b05c7e1a39";
constexpr char kIdentifier[] = "SYSLOG_IDENTIFIER=Corvalin";

// "held_ms" is CORVALIN_HELD_MS.
std::string FieldName(const std::string& key)
{
    std::string name = "CORVALIN_";
    for (const char c : key)
        name += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    return name;
}

class Journal : public SystemLog
{
public:
    bool Write(const SystemLogEvent& event, wxString& problem) override
    {
        struct stat socket;
        if (::stat(kJournalSocket, &socket) != 0 || !S_ISSOCK(socket.st_mode))
        {
            problem = wxString::Format(
                _("There is no system journal here (no %s): lines go to the Activity log "
                  "and the record file only."),
                kJournalSocket);
            return false;
        }
        // Values may hold line breaks (a path can): sd_journal_sendv passes
        // such fields in its binary form, whole.
        std::vector<std::string> fields;
        fields.reserve(event.fields.size() + 5);
        fields.push_back("MESSAGE=" + event.message);
        fields.push_back(event.attempt ? kAttemptMessageId : kMessageId);
        fields.push_back(kIdentifier);
        // 5 notice, 6 info.
        fields.push_back(event.unprompted ? "PRIORITY=5" : "PRIORITY=6");
        if (event.pid != 0)
            fields.push_back("OBJECT_PID=" + std::to_string(event.pid));
        for (const auto& [key, value] : event.fields)
            fields.push_back(FieldName(key) + '=' + value);
        std::vector<iovec> parts(fields.size());
        for (size_t i = 0; i < fields.size(); ++i)
            parts[i] = iovec{const_cast<char*>(fields[i].data()), fields[i].size()};
        const int result = sd_journal_sendv(parts.data(), static_cast<int>(parts.size()));
        if (result >= 0)
            return true;
        problem = wxString::Format(_("The system journal takes no lines: %s."),
                                   wxString::FromUTF8(std::strerror(-result)));
        return false;
    }
};
}  // namespace

std::unique_ptr<SystemLog> CreateSystemLog()
{
    return std::make_unique<Journal>();
}

wxString SystemLogMenuLabel()
{
    return _("Log to System Journal");
}

bool RunDetached(std::function<void()> work)
{
    try
    {
        std::thread(std::move(work)).detach();
        return true;
    }
    catch (const std::system_error&)
    {
        return false;
    }
}
