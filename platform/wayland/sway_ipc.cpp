#include "platform/wayland/sway_ipc.h"

#include <glib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <vector>

#include <nlohmann/json.hpp>
#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>
#include <wx/timer.h>

namespace
{
constexpr char kMagic[] = "i3-ipc";
constexpr size_t kHeader = 14;
constexpr unsigned kSubscribe = 2;
constexpr unsigned kGetTree = 4;
constexpr unsigned kWindowEvent = 0x80000003u;
// A tree of a few hundred windows is well below this; more is not sway.
constexpr std::uint32_t kLongestMessage = 64u << 20;
constexpr int kFirstRetryMs = 100;
constexpr int kLongestRetryMs = 2000;

using Json = nlohmann::json;

wxString Text(const Json& node, const char* key)
{
    const auto found = node.find(key);
    return found != node.end() && found->is_string()
               ? wxString::FromUTF8(found->get_ref<const std::string&>())
               : wxString();
}

unsigned long Pid(const Json& node)
{
    const auto found = node.find("pid");
    if (found == node.end() || !found->is_number_integer())
        return 0;
    const long long pid = found->get<long long>();
    return pid > 0 && pid < (1ll << 31) ? static_cast<unsigned long>(pid) : 0;
}

// What the wlroots protocol calls a window's app id: the Wayland app id, or
// the X11 class of an Xwayland window.
wxString AppId(const Json& node)
{
    wxString appId = Text(node, "app_id");
    if (appId.empty())
    {
        const auto properties = node.find("window_properties");
        if (properties != node.end() && properties->is_object())
            appId = Text(*properties, "class");
    }
    return appId;
}
}  // namespace

class SwayWindowEvents::Reader final : public wxEventLoopSourceHandler
{
public:
    explicit Reader(SwayWindowEvents& owner) : m_owner(owner) {}
    void OnReadWaiting() override { m_owner.ReadNow(); }
    void OnWriteWaiting() override {}
    void OnExceptionWaiting() override { m_owner.ReadNow(); }

private:
    SwayWindowEvents& m_owner;
};

class SwayWindowEvents::Retry final : public wxTimer
{
public:
    explicit Retry(SwayWindowEvents& owner) : m_owner(owner) {}
    void Notify() override
    {
        if (!m_owner.Connect())
            m_owner.Broken();
    }

private:
    SwayWindowEvents& m_owner;
};

SwayWindowEvents::SwayWindowEvents(std::function<void()> onNews) : m_onNews(std::move(onNews)) {}

SwayWindowEvents::~SwayWindowEvents()
{
    Close();
}

bool SwayWindowEvents::Start()
{
    const char* path = std::getenv("SWAYSOCK");
    if (!path || !*path)
        return false;
    return Connect();
}

bool SwayWindowEvents::Connect()
{
    Close();
    const char* path = std::getenv("SWAYSOCK");
    if (!path || !*path || std::strlen(path) >= sizeof(sockaddr_un::sun_path))
        return false;
    // Never blocking, connect included: a busy sway refuses (EAGAIN) and is
    // asked again later rather than waited for.
    m_fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (m_fd < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path);
    if (connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        !Send(kSubscribe, "[\"window\"]") || !Send(kGetTree, ""))
    {
        Close();
        return false;
    }
    if (!m_reader)
        m_reader = std::make_unique<Reader>(*this);
    m_source = wxEventLoopBase::AddSourceForFD(m_fd, m_reader.get(),
                                               wxEVENT_SOURCE_INPUT | wxEVENT_SOURCE_EXCEPTION);
    m_retryMs = 0;
    return true;
}

void SwayWindowEvents::Close()
{
    delete m_source;
    m_source = nullptr;
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    m_in.clear();
}

// The connection broke (sway dropped a reader it found too slow, or is
// going away): what it said stays known, and it is asked again, less often
// each time it fails.
void SwayWindowEvents::Broken()
{
    if (m_fd >= 0)
        std::fputs("Corvalin: sway's IPC connection broke; until it is back, new windows are "
                   "named by their app id.\n",
                   stderr);
    Close();
    if (!m_retry)
        m_retry = std::make_unique<Retry>(*this);
    m_retryMs = m_retryMs == 0 ? kFirstRetryMs : std::min(m_retryMs * 2, kLongestRetryMs);
    m_retry->StartOnce(m_retryMs);
}

bool SwayWindowEvents::Send(unsigned type, const std::string& payload)
{
    std::string message(kMagic, sizeof kMagic - 1);
    const std::uint32_t length = static_cast<std::uint32_t>(payload.size());
    const std::uint32_t kind = type;
    message.append(reinterpret_cast<const char*>(&length), 4);
    message.append(reinterpret_cast<const char*>(&kind), 4);
    message += payload;
    return send(m_fd, message.data(), message.size(), MSG_NOSIGNAL) ==
           static_cast<ssize_t>(message.size());
}

void SwayWindowEvents::ReadNow()
{
    if (m_fd < 0)
        return;
    bool news = false;
    char chunk[65536];
    for (;;)
    {
        const ssize_t got = recv(m_fd, chunk, sizeof chunk, 0);
        if (got > 0)
        {
            m_in.append(chunk, static_cast<size_t>(got));
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        const bool broken = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        // Whole messages first, so that what came before the end counts.
        size_t at = 0;
        while (m_in.size() - at >= kHeader)
        {
            std::uint32_t length = 0, type = 0;
            std::memcpy(&length, m_in.data() + at + 6, 4);
            std::memcpy(&type, m_in.data() + at + 10, 4);
            if (std::memcmp(m_in.data() + at, kMagic, 6) != 0 || length > kLongestMessage)
            {
                m_in.clear();
                Broken();
                return;
            }
            if (m_in.size() - at - kHeader < length)
                break;
            news = TakeMessage(type, m_in.substr(at + kHeader, length)) || news;
            at += kHeader + length;
        }
        m_in.erase(0, at);
        if (broken)
            Broken();
        break;
    }
    if (news && m_onNews)
        m_onNews();
}

bool SwayWindowEvents::TakeMessage(unsigned type, const std::string& payload)
{
    if (type != kGetTree && type != kWindowEvent)
        return false;
    // A title may hold any bytes; sway passes them on as they are, which no
    // JSON parser takes.  Made valid first, so one window cannot blind us to
    // the rest, and named as the wlroots protocol's text is.
    gchar* valid = g_utf8_make_valid(payload.data(), static_cast<gssize>(payload.size()));
    const Json message = Json::parse(valid, nullptr, false);
    g_free(valid);
    if (!message.is_object())
        return false;
    auto remember = [this](const Json& node, bool focused) {
        const auto id = node.find("id");
        if (id == node.end() || !id->is_number_integer())
            return;
        Window& window = m_windows[id->get<long long>()];
        window.pid = Pid(node);
        window.appId = AppId(node);
        window.title = Text(node, "name");
        if (focused)
            window.focused = ++m_focusCount;
    };
    if (type == kWindowEvent)
    {
        const auto container = message.find("container");
        if (container == message.end() || !container->is_object())
            return false;
        const wxString change = Text(message, "change");
        if (change == L"close")
        {
            const auto id = container->find("id");
            if (id != container->end() && id->is_number_integer())
                m_windows.erase(id->get<long long>());
            return false;
        }
        remember(*container, change == L"focus");
        return true;
    }
    // The whole tree, once at the start: every window with a process.
    std::vector<const Json*> pending{&message};
    while (!pending.empty())
    {
        const Json& node = *pending.back();
        pending.pop_back();
        if (node.contains("pid"))
            {
            const auto focused = node.find("focused");
            remember(node, focused != node.end() && focused->is_boolean() && focused->get<bool>());
        }
        for (const char* children : {"nodes", "floating_nodes"})
        {
            const auto list = node.find(children);
            if (list != node.end() && list->is_array())
                for (const Json& child : *list)
                    if (child.is_object())
                        pending.push_back(&child);
        }
    }
    return true;
}

unsigned long SwayWindowEvents::PidFor(const wxString& appId, const wxString& title) const
{
    const Window* best = nullptr;
    for (const auto& entry : m_windows)
    {
        const Window& window = entry.second;
        if (window.pid == 0 || window.appId != appId || window.title != title)
            continue;
        if (!best || window.focused > best->focused)
            best = &window;
    }
    return best ? best->pid : 0;
}
