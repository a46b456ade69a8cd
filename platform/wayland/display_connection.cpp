#include "platform/wayland/display_connection.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <wayland-client.h>

namespace
{
int ConnectSocket()
{
    const char* display = std::getenv("WAYLAND_DISPLAY");
    std::string path = display && *display ? display : "wayland-0";
    if (path[0] != '/')
    {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        if (!runtime || !*runtime)
            return -1;
        path = std::string(runtime) + "/" + path;
    }
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path)
        return -1;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    // A local socket connects at once or not at all (EAGAIN: the queue is
    // full).
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    {
        close(fd);
        return -1;
    }
    // libwayland reads and writes without blocking anyway; it gets the
    // socket as its own connect would have made it.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

void OnSyncDone(void* data, wl_callback* callback, std::uint32_t)
{
    *static_cast<bool*>(data) = true;
    wl_callback_destroy(callback);
}
constexpr wl_callback_listener kSyncListener{&OnSyncDone};
}  // namespace

wl_display* ConnectDisplayWithoutWaiting()
{
    // A socket handed down by whoever started us is connected already.
    const char* handed = std::getenv("WAYLAND_SOCKET");
    if (handed && *handed)
        return wl_display_connect(nullptr);
    const int fd = ConnectSocket();
    if (fd < 0)
        return nullptr;
    wl_display* display = wl_display_connect_to_fd(fd);
    if (!display)
        close(fd);
    return display;
}

bool RoundtripBefore(wl_display* display, std::chrono::steady_clock::time_point deadline)
{
    using Clock = std::chrono::steady_clock;
    bool done = false;
    wl_callback* callback = wl_display_sync(display);
    wl_callback_add_listener(callback, &kSyncListener, &done);
    while (!done)
    {
        if (wl_display_prepare_read(display) != 0)
        {
            if (wl_display_dispatch_pending(display) < 0)
                break;
            continue;
        }
        if (wl_display_flush(display) < 0 && errno != EAGAIN)
        {
            wl_display_cancel_read(display);
            break;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd waiting{wl_display_get_fd(display), POLLIN, 0};
        if (left.count() <= 0 || poll(&waiting, 1, static_cast<int>(left.count())) <= 0)
        {
            wl_display_cancel_read(display);
            break;
        }
        if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0)
            break;
    }
    if (!done)
        wl_callback_destroy(callback);
    return done;
}
