/* Start-up time to a visible frame, for bench/compare.sh.
 *
 *   map_launcher [-k] [-w TIMEOUT_S] [-t TITLE] -- PROGRAM [ARGS...]
 *
 * Forks and execs PROGRAM and prints the microseconds from the fork to the
 * MapNotify of its frame, as seen on the root with SubstructureNotify.
 * -k: then ends the program (SIGTERM, SIGKILL after 10 s) and reaps it.
 *
 * Which window is the program's: under a reparenting window manager the
 * client's own window is never mapped on the root.  It is created there, the
 * manager reparents it into a frame of its own (ReparentNotify on the root,
 * since the root was the old parent) and then maps that frame (MapNotify on
 * the root).  A reparented window is the program's when its _NET_WM_PID is
 * the child's pid, which toolkits set before mapping (or, with -t, when its
 * title is TITLE); the frame it went into is then waited for.  Windows
 * reparented elsewhere (a tray icon into the tray's socket) never get a
 * MapNotify on the root, so they cannot be taken for the frame.  Without a
 * window manager the client window itself is mapped on the root and is
 * recognised the same way. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

static Display* dpy;
static Atom a_pid, a_net_name, a_utf8;

static long long mono_us(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

static int ignore_x_error(Display* d, XErrorEvent* e)
{
    (void)d;
    (void)e;
    return 0;  /* a window may be gone by the time we ask about it */
}

static unsigned long window_pid(Window w)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0, pid = 0;
    unsigned char* data = NULL;
    if (XGetWindowProperty(dpy, w, a_pid, 0, 1, False, XA_CARDINAL, &type, &format, &count,
                           &after, &data) == Success && data && format == 32 && count == 1)
        pid = *(unsigned long*)data;
    if (data)
        XFree(data);
    return pid;
}

static int has_title(Window w, const char* title)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = NULL;
    int match = 0;
    if (XGetWindowProperty(dpy, w, a_net_name, 0, 1024, False, a_utf8, &type, &format, &count,
                           &after, &data) == Success && data && format == 8)
        match = count == strlen(title) && memcmp(data, title, count) == 0;
    if (data)
        XFree(data);
    if (!match) {
        char* name = NULL;
        if (XFetchName(dpy, w, &name) && name) {
            match = strcmp(name, title) == 0;
            XFree(name);
        }
    }
    return match;
}

static int is_childs(Window w, pid_t child, const char* title)
{
    if (window_pid(w) == (unsigned long)child)
        return 1;
    return title && has_title(w, title);
}

static int stop_child(pid_t child)
{
    kill(child, SIGTERM);
    const long long end = mono_us() + 10000000;
    int status = 0;
    while (mono_us() < end) {
        const pid_t r = waitpid(child, &status, WNOHANG);
        if (r == child || (r < 0 && errno == ECHILD))
            return 0;
        usleep(10000);
    }
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return 1;
}

int main(int argc, char** argv)
{
    int kill_after = 0;
    double timeout_s = 60;
    const char* title = NULL;
    int i = 1;
    for (; i < argc; ++i) {
        if (strcmp(argv[i], "-k") == 0)
            kill_after = 1;
        else if (strcmp(argv[i], "-w") == 0 && i + 1 < argc)
            timeout_s = atof(argv[++i]);
        else if (strcmp(argv[i], "-t") == 0 && i + 1 < argc)
            title = argv[++i];
        else if (strcmp(argv[i], "--") == 0) {
            ++i;
            break;
        } else
            break;
    }
    if (i >= argc) {
        fprintf(stderr, "usage: map_launcher [-k] [-w TIMEOUT_S] [-t TITLE] -- PROGRAM [ARGS...]\n");
        return 2;
    }
    dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "map_launcher: cannot open display\n");
        return 1;
    }
    XSetErrorHandler(ignore_x_error);
    fcntl(ConnectionNumber(dpy), F_SETFD, FD_CLOEXEC);
    a_pid = XInternAtom(dpy, "_NET_WM_PID", False);
    a_net_name = XInternAtom(dpy, "_NET_WM_NAME", False);
    a_utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    const Window root = DefaultRootWindow(dpy);
    XSelectInput(dpy, root, SubstructureNotifyMask);
    XSync(dpy, False);

    const long long t0 = mono_us();
    const pid_t child = fork();
    if (child < 0) {
        perror("map_launcher: fork");
        return 1;
    }
    if (child == 0) {
        execvp(argv[i], argv + i);
        perror("map_launcher: exec");
        _exit(127);
    }

    Window frames[16];
    int nframes = 0;
    long long mapped = -1;
    const long long end = t0 + (long long)(timeout_s * 1e6);
    while (mapped < 0 && mono_us() < end) {
        if (!XPending(dpy)) {
            int status;
            if (waitpid(child, &status, WNOHANG) == child) {
                fprintf(stderr, "map_launcher: %s exited before mapping a frame\n", argv[i]);
                return 1;
            }
            struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
            poll(&p, 1, 20);
            continue;
        }
        XEvent e;
        XNextEvent(dpy, &e);
        const long long t = mono_us();
        if (e.type == ReparentNotify && e.xreparent.event == root && e.xreparent.parent != root) {
            if (nframes < 16 && is_childs(e.xreparent.window, child, title))
                frames[nframes++] = e.xreparent.parent;
        } else if (e.type == MapNotify && e.xmap.event == root) {
            for (int f = 0; f < nframes; ++f)
                if (frames[f] == e.xmap.window)
                    mapped = t - t0;
            if (mapped < 0 && !e.xmap.override_redirect && is_childs(e.xmap.window, child, title))
                mapped = t - t0;
        }
    }
    if (mapped >= 0)
        printf("%lld\n", mapped);
    else
        fprintf(stderr, "map_launcher: no frame of %s mapped within %.0f s\n", argv[i], timeout_s);
    fflush(stdout);
    if (kill_after || mapped < 0)
        stop_child(child);
    XCloseDisplay(dpy);
    return mapped >= 0 ? 0 : 1;
}
