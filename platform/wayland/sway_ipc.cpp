#include "platform/wayland/sway_ipc.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include <boost/property_tree/json_parser.hpp>
#include <boost/property_tree/ptree.hpp>

namespace
{
constexpr char kMagic[] = "i3-ipc";
constexpr std::uint32_t kGetTree = 4;
// A tree of a few hundred windows is well below this; more is not sway.
constexpr std::uint32_t kLongestReply = 16u << 20;

using Clock = std::chrono::steady_clock;

bool WaitFor(int fd, short events, Clock::time_point deadline)
{
    for (;;)
    {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        pollfd waiting{fd, events, 0};
        const int ready = poll(&waiting, 1, static_cast<int>(left.count()));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

bool ReadAll(int fd, char* data, size_t length, Clock::time_point deadline)
{
    while (length > 0)
    {
        if (!WaitFor(fd, POLLIN, deadline))
            return false;
        const ssize_t got = recv(fd, data, length, 0);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            return false;
        data += got;
        length -= static_cast<size_t>(got);
    }
    return true;
}

bool GetTree(std::string& json, int timeoutMs)
{
    const char* path = std::getenv("SWAYSOCK");
    if (!path || !*path || std::strlen(path) >= sizeof(sockaddr_un::sun_path))
        return false;
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path);
    bool ok = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ||
              (errno == EINPROGRESS && WaitFor(fd, POLLOUT, deadline));
    char header[sizeof kMagic - 1 + 8];
    std::memcpy(header, kMagic, sizeof kMagic - 1);
    const std::uint32_t empty = 0;
    std::memcpy(header + 6, &empty, 4);
    std::memcpy(header + 10, &kGetTree, 4);
    ok = ok && send(fd, header, sizeof header, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof header);
    ok = ok && ReadAll(fd, header, sizeof header, deadline) &&
         std::memcmp(header, kMagic, sizeof kMagic - 1) == 0;
    std::uint32_t length = 0;
    if (ok)
        std::memcpy(&length, header + 6, 4);
    ok = ok && length <= kLongestReply;
    if (ok)
    {
        json.resize(length);
        ok = ReadAll(fd, &json[0], length, deadline);
    }
    close(fd);
    return ok;
}

const boost::property_tree::ptree* FindFocused(const boost::property_tree::ptree& node)
{
    if (node.get<bool>("focused", false))
        return &node;
    for (const char* children : {"nodes", "floating_nodes"})
    {
        const auto list = node.get_child_optional(children);
        if (!list)
            continue;
        for (const auto& child : *list)
            if (const boost::property_tree::ptree* found = FindFocused(child.second))
                return found;
    }
    return nullptr;
}
}  // namespace

unsigned long SwayFocusedWindowPid(const wxString& title, int timeoutMs)
{
    std::string json;
    if (!GetTree(json, timeoutMs))
        return 0;
    try
    {
        std::istringstream stream(json);
        boost::property_tree::ptree tree;
        boost::property_tree::read_json(stream, tree);
        const boost::property_tree::ptree* focused = FindFocused(tree);
        // The focus may have moved on since the report we answer: only the
        // window with that title is the one asked about.
        if (!focused || wxString::FromUTF8(focused->get<std::string>("name", "")) != title)
            return 0;
        const long pid = focused->get<long>("pid", 0);
        return pid > 0 ? static_cast<unsigned long>(pid) : 0;
    }
    catch (const boost::property_tree::ptree_error&)
    {
        return 0;
    }
}
