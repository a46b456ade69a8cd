#pragma once

// The system's own log, the place from which a fleet collects records: the
// systemd journal on Linux, the Application event log on Windows.  Each
// system provides it in its platform folder.

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <wx/string.h>

// One logged change as the system log gets it.  Text is UTF-8.
struct SystemLogEvent
{
    // The Activity log's line, without its closing " \n".
    std::string message;
    // A take with no input before it: a notice, or a warning, not routine.
    bool unprompted = false;
    // No change but a refused try at the focus: an event of its own kind.
    bool attempt = false;
    // The process behind the window; 0 when unknown.
    unsigned long pid = 0;
    // The record's fields, in the record's order, by their record names
    // ("time", "number", ...); an unknown value is empty.
    std::vector<std::pair<std::string, std::string>> fields;
};

class SystemLog
{
public:
    virtual ~SystemLog() = default;
    // Writes one event.  May wait on the system (a full journal socket), so
    // it is called from a thread of its own, one event at a time.  False,
    // with the reason as a sentence for the user, when the event did not get
    // there.
    virtual bool Write(const SystemLogEvent& event, wxString& problem) = 0;
};

// The system log of the running system.  Never null; it reaches the system
// only on the first Write.
std::unique_ptr<SystemLog> CreateSystemLog();

// The File menu's item for it, in the system's own words.
wxString SystemLogMenuLabel();

// Runs `work` on a thread of its own that nobody waits for: the system log
// is written from there, and a thread stuck in a stalled log must not hold
// up the program's end.  False when no thread could be made.
bool RunDetached(std::function<void()> work);
