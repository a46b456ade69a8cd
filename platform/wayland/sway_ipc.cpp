#include "platform/wayland/sway_ipc.h"

#include <fcntl.h>
#include <glib.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/time.h>
#include <unistd.h>
#include <wordexp.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include <nlohmann/json.hpp>
#include <wx/evtloop.h>
#include <wx/evtloopsrc.h>
#include <wx/timer.h>

namespace
{
constexpr char kMagic[] = "i3-ipc";
constexpr size_t kHeader = 14;
constexpr unsigned kRunCommand = 0;
constexpr unsigned kSubscribe = 2;
constexpr unsigned kGetTree = 4;
constexpr unsigned kGetConfig = 9;
constexpr unsigned kWorkspaceEvent = 0x80000000u;
constexpr unsigned kWindowEvent = 0x80000003u;
constexpr unsigned kBindingEvent = 0x80000005u;
// Our questions at start and exit: sway answers at once or is stuck.
constexpr int kAskTimeoutMs = 500;
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

class SwayIpc::Reader final : public wxEventLoopSourceHandler
{
public:
    explicit Reader(SwayIpc& owner) : m_owner(owner) {}
    void OnReadWaiting() override { m_owner.ReadNow(); }
    void OnWriteWaiting() override {}
    void OnExceptionWaiting() override { m_owner.ReadNow(); }

private:
    SwayIpc& m_owner;
};

class SwayIpc::Retry final : public wxTimer
{
public:
    explicit Retry(SwayIpc& owner) : m_owner(owner) {}
    void Notify() override
    {
        if (!m_owner.Connect())
            m_owner.Broken();
    }

private:
    SwayIpc& m_owner;
};

SwayIpc::SwayIpc(std::function<void()> onNews) : m_onNews(std::move(onNews)) {}

SwayIpc::~SwayIpc()
{
    UnbindKey();
    Close();
}

bool SwayIpc::Start()
{
    const char* path = std::getenv("SWAYSOCK");
    if (!path || !*path)
        return false;
    return Connect();
}

bool SwayIpc::Connect()
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
        !Send(kSubscribe, "[\"window\",\"binding\",\"workspace\"]") || !Send(kGetTree, ""))
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

void SwayIpc::Close()
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
void SwayIpc::Broken()
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

bool SwayIpc::Send(unsigned type, const std::string& payload)
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

void SwayIpc::ReadNow()
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

bool SwayIpc::TakeMessage(unsigned type, const std::string& payload)
{
    if (type != kGetTree && type != kWindowEvent && type != kBindingEvent &&
        type != kWorkspaceEvent)
        return false;
    // A title may hold any bytes; sway passes them on as they are, which no
    // JSON parser takes.  Made valid first, so one window cannot blind us to
    // the rest, and named as the wlroots protocol's text is.
    gchar* valid = g_utf8_make_valid(payload.data(), static_cast<gssize>(payload.size()));
    const Json message = Json::parse(valid, nullptr, false);
    g_free(valid);
    if (!message.is_object())
        return false;
    if (type == kBindingEvent)
    {
        const auto binding = message.find("binding");
        if (binding != message.end() && binding->is_object())
            OnBinding(Text(*binding, "command").ToStdString(wxConvUTF8));
        return false;
    }
    if (type == kWorkspaceEvent)
    {
        // A reload drops every binding made at run time: ours again, unless
        // the user's config now binds the key.
        if (Text(message, "change") == L"reload" && !m_boundCombo.empty() && m_fd >= 0)
        {
            std::string config;
            if (AskConfig(config) && ConfigBinds(config, m_boundCombo))
            {
                std::fprintf(stderr, "Corvalin: sway's config binds %s now; it is left to it.\n",
                             m_boundCombo.c_str());
                DropClaim();
                m_boundCombo.clear();
                m_pressed = nullptr;
            }
            else
                Send(kRunCommand, "bindsym " + m_boundCombo + " " + m_bindingTag);
        }
        return false;
    }
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
        // Marked urgent: sway's answer to an activation it refused (its
        // default focus_on_window_activation), or a client's own urgency hint.
        if (change == L"urgent" && m_onUrgent)
        {
            const auto urgent = container->find("urgent");
            if (urgent != container->end() && urgent->is_boolean() && urgent->get<bool>())
                m_onUrgent(AppId(*container), Text(*container, "name"));
        }
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

unsigned long SwayIpc::PidFor(const wxString& appId, const wxString& title) const
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

bool SwayIpc::Ask(unsigned type, const std::string& payload, std::string& reply, int timeoutMs)
{
    const char* path = std::getenv("SWAYSOCK");
    if (!path || !*path || std::strlen(path) >= sizeof(sockaddr_un::sun_path))
        return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path);
    std::string message(kMagic, sizeof kMagic - 1);
    const std::uint32_t length = static_cast<std::uint32_t>(payload.size());
    message.append(reinterpret_cast<const char*>(&length), 4);
    message.append(reinterpret_cast<const char*>(&type), 4);
    message += payload;
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
              send(fd, message.data(), message.size(), MSG_NOSIGNAL) ==
                  static_cast<ssize_t>(message.size());
    auto readAll = [fd](char* data, size_t size) {
        while (size > 0)
        {
            const ssize_t got = recv(fd, data, size, 0);
            if (got <= 0)
                return false;
            data += got;
            size -= static_cast<size_t>(got);
        }
        return true;
    };
    char header[kHeader];
    std::uint32_t replyLength = 0;
    ok = ok && readAll(header, kHeader) && std::memcmp(header, kMagic, 6) == 0;
    if (ok)
        std::memcpy(&replyLength, header + 6, 4);
    ok = ok && replyLength <= kLongestMessage;
    if (ok)
    {
        reply.resize(replyLength);
        ok = replyLength == 0 || readAll(&reply[0], replyLength);
    }
    close(fd);
    return ok;
}

namespace
{
// A combination in one spelling: lower case, modifiers by one name each and
// sorted, the key last.
std::string NormalCombo(const std::string& combo)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : combo + "+")
    {
        if (c != '+')
        {
            part += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            continue;
        }
        if (part == "control")
            part = "ctrl";
        else if (part == "alt")
            part = "mod1";
        else if (part == "super" || part == "logo")
            part = "mod4";
        parts.push_back(part);
        part.clear();
    }
    if (parts.empty())
        return std::string();
    const std::string key = parts.back();
    parts.pop_back();
    std::sort(parts.begin(), parts.end());
    std::string normal;
    for (const std::string& modifier : parts)
        normal += modifier + "+";
    return normal + key;
}
}  // namespace

bool SwayIpc::ConfigBinds(const std::string& config, const std::string& combo)
{
    const std::string wanted = NormalCombo(combo);
    std::map<std::string, std::string> variables;
    std::istringstream lines(config);
    std::string line;
    while (std::getline(lines, line))
    {
        std::istringstream words(line);
        std::string first, name, value;
        words >> first;
        if (first == "set")
        {
            words >> name >> value;
            if (!name.empty() && name[0] == '$')
                variables[name] = value;
            continue;
        }
        if (first == "{" || first == "}")
            continue;
        if (first != "bindsym")
            continue;
        std::string word;
        while (words >> word && word.rfind("--", 0) == 0)
        {
        }
        // Variables first, longest first, so that $mod4 is not read as $mod.
        std::vector<std::pair<std::string, std::string>> ordered(variables.begin(),
                                                                  variables.end());
        std::sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
            return a.first.size() > b.first.size();
        });
        for (const auto& variable : ordered)
            for (size_t at = word.find(variable.first); at != std::string::npos;
                 at = word.find(variable.first, at + variable.second.size()))
                word.replace(at, variable.first.size(), variable.second);
        if (NormalCombo(word) == wanted)
            return true;
    }
    return false;
}

namespace
{
// The folder of sway's own config: from its -c option, else where sway
// looks first.  The process is found through the IPC socket's peer.
std::string SwayConfigFolder()
{
    std::string path;
    const char* socketPath = std::getenv("SWAYSOCK");
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    ucred peer{};
    socklen_t size = sizeof peer;
    if (fd >= 0 && socketPath && std::strlen(socketPath) < sizeof address.sun_path)
    {
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, socketPath);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.pid > 0)
        {
            const std::string proc = "/proc/" + std::to_string(peer.pid);
            std::ifstream file(proc + "/cmdline", std::ios::binary);
            std::vector<std::string> args;
            for (std::string arg; std::getline(file, arg, '\0');)
                args.push_back(arg);
            for (size_t i = 1; i < args.size(); ++i)
            {
                if ((args[i] == "-c" || args[i] == "--config") && i + 1 < args.size())
                    path = args[i + 1];
                else if (args[i].rfind("--config=", 0) == 0)
                    path = args[i].substr(9);
            }
            if (!path.empty() && path[0] != '/')
            {
                char cwd[4096];
                const ssize_t n = readlink((proc + "/cwd").c_str(), cwd, sizeof cwd - 1);
                if (n > 0)
                    path = std::string(cwd, static_cast<size_t>(n)) + "/" + path;
            }
        }
    }
    if (fd >= 0)
        close(fd);
    if (!path.empty())
        return path.substr(0, path.find_last_of('/'));
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    if (config && *config)
        return std::string(config) + "/sway";
    return std::string(home ? home : "") + "/.config/sway";
}
}  // namespace

std::string SwayIpc::WithIncludedFiles(const std::string& config, const std::string& folder,
                                       int depth)
{
    std::string all = config;
    // sway refuses deeper nesting too; this also ends a file including itself.
    if (depth >= 8)
        return all;
    std::istringstream lines(config);
    std::string line;
    while (std::getline(lines, line))
    {
        std::istringstream words(line);
        std::string first;
        words >> first;
        if (first != "include")
            continue;
        std::string pattern;
        std::getline(words >> std::ws, pattern);
        while (!pattern.empty() && std::isspace(static_cast<unsigned char>(pattern.back())))
            pattern.pop_back();
        if (pattern.empty())
            continue;
        // Wildcards match in the including file's folder, as sway's do.
        if (pattern[0] != '/' && pattern[0] != '~' && pattern[0] != '$')
        {
            std::string quoted = "'";
            for (char c : folder)
                quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
            pattern = quoted + "'/" + pattern;
        }
        wordexp_t expanded;
        if (wordexp(pattern.c_str(), &expanded, WRDE_NOCMD) != 0)
            continue;
        for (size_t i = 0; i < expanded.we_wordc; ++i)
        {
            const std::string path = expanded.we_wordv[i];
            std::ifstream file(path);
            if (!file)
                continue;
            std::ostringstream text;
            text << file.rdbuf();
            all += "\n" + WithIncludedFiles(text.str(), path.substr(0, path.find_last_of('/')),
                                            depth + 1);
        }
        wordfree(&expanded);
    }
    return all;
}

bool SwayIpc::AskConfig(std::string& config)
{
    std::string reply;
    if (!Ask(kGetConfig, "", reply, kAskTimeoutMs))
        return false;
    const Json answer = Json::parse(reply, nullptr, false);
    if (!answer.is_object() || !answer.contains("config") || !answer["config"].is_string())
        return false;
    config = answer["config"].get<std::string>();
    const auto included = answer.find("included_configs");
    if (included != answer.end() && included->is_array())
    {
        for (const Json& file : *included)
            if (file.is_object() && file.contains("config") && file["config"].is_string())
                config += "\n" + file["config"].get<std::string>();
        return true;
    }
    config = WithIncludedFiles(config, SwayConfigFolder());
    return true;
}

std::string SwayIpc::ClaimPath(const std::string& combo)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* sway = std::getenv("SWAYSOCK");
    std::string name = std::string(sway ? sway : "") + "-" + NormalCombo(combo);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '+')
            c = '_';
    return std::string(runtime && *runtime ? runtime : "/tmp") + "/corvalin-sway-key" + name;
}

bool SwayIpc::BindKey(const std::string& combo, std::function<void()> pressed, std::string& problem)
{
    problem.clear();
    std::string config;
    if (!AskConfig(config))
    {
        problem = "sway did not answer the question for its config";
        return false;
    }
    if (ConfigBinds(config, combo))
    {
        problem = "sway's config binds " + combo + " already; it is left to it";
        return false;
    }
    // Another Corvalin on this sway that bound the key keeps it: a second
    // bind would replace its binding, and the second's exit remove it.
    const std::string claim = ClaimPath(combo);
    int fd = open(claim.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0 && errno == EEXIST)
    {
        std::ifstream file(claim);
        long holder = 0;
        file >> holder;
        if (holder > 0 && holder != getpid() && (kill(holder, 0) == 0 || errno == EPERM))
        {
            problem = "another Corvalin (pid " + std::to_string(holder) + ") has " + combo +
                      " on this sway; it is left to it";
            return false;
        }
        // Its holder is gone without giving it back (killed): taken over.
        unlink(claim.c_str());
        fd = open(claim.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    }
    if (fd >= 0)
    {
        const std::string pid = std::to_string(getpid()) + "\n";
        const bool written = write(fd, pid.data(), pid.size()) == static_cast<ssize_t>(pid.size());
        close(fd);
        if (!written)
            unlink(claim.c_str());
    }
    m_bindingTag = "nop corvalin-hotkey-" + std::to_string(getpid());
    std::string reply;
    const bool asked = Ask(kRunCommand, "bindsym " + combo + " " + m_bindingTag, reply, kAskTimeoutMs);
    const Json results = asked ? Json::parse(reply, nullptr, false) : Json();
    if (!results.is_array() || results.empty() || !results[0].is_object() ||
        results[0].value("success", false) != true)
    {
        problem = "sway refused to bind " + combo;
        m_boundCombo = combo;
        DropClaim();
        m_boundCombo.clear();
        return false;
    }
    m_boundCombo = combo;
    m_pressed = std::move(pressed);
    return true;
}

void SwayIpc::DropClaim()
{
    if (m_boundCombo.empty())
        return;
    const std::string claim = ClaimPath(m_boundCombo);
    std::ifstream file(claim);
    long holder = 0;
    file >> holder;
    if (holder == getpid())
        unlink(claim.c_str());
}

void SwayIpc::UnbindKey()
{
    if (m_boundCombo.empty())
        return;
    // Only a binding that is still ours: the user's config may bind the key
    // since a reload (which dropped ours), or the claim went to another
    // Corvalin after ours was lost.
    std::ifstream file(ClaimPath(m_boundCombo));
    long holder = 0;
    file >> holder;
    std::string config;
    if (holder == getpid() && AskConfig(config) && !ConfigBinds(config, m_boundCombo))
    {
        std::string reply;
        Ask(kRunCommand, "unbindsym " + m_boundCombo, reply, kAskTimeoutMs);
    }
    DropClaim();
    m_boundCombo.clear();
    m_pressed = nullptr;
}

void SwayIpc::OnBinding(const std::string& command)
{
    if (!m_boundCombo.empty() && command == m_bindingTag && m_pressed)
        m_pressed();
}
