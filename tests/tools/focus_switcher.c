/* Drives and observes focus changes for bench/compare.sh.
 *
 *   focus_switcher switch DWELL_MS COUNT [WINDOW_A WINDOW_B]
 *       Maps two windows of its own (unless given), then asks the window
 *       manager COUNT times to activate A, B, A, ... sleeping DWELL_MS (may be
 *       fractional) in between.  Prints "windows A B", "start US", "end US".
 *   focus_switcher thief COUNT HOLD_MS GAP_MS
 *       Maps a victim and a thief; COUNT times the thief takes the focus,
 *       keeps it HOLD_MS after the window manager has given it, and hands it
 *       back.  Prints "windows THIEF VICTIM", "start US", "end US".
 *   focus_switcher steal PAUSE_MS HOLD_MS
 *       A program taking the focus with no input at all: maps a window that
 *       asks not to be focused on map (_NET_WM_USER_TIME 0), PAUSE_MS later
 *       asks for its activation as an application (source 1), keeps the
 *       focus HOLD_MS once given, and destroys the window.  Prints
 *       "window W".
 *   focus_switcher raise WINDOW
 *       A program raising an old window of its own accord: asks for the
 *       window's activation as an application (source 1); exits 0 once it
 *       is active, 1 when the window manager refused within 2 s.
 *   focus_switcher nag attention|refused HOLD_MS
 *       A program asking for the focus and refused: a window marked as
 *       demanding attention, or an activation request for a window never
 *       mapped.  Prints "window W"; destroys it after HOLD_MS.
 *   focus_switcher host HOLD_MS
 *       A long-lived host that opens windows for others: on each SIGUSR1
 *       maps a new window, takes the focus as steal does, keeps it HOLD_MS
 *       and destroys it.  Prints "window W" for each.
 *   focus_switcher watch
 *       One line "US WINDOW" for every change of the root's
 *       _NET_ACTIVE_WINDOW, stamped when the PropertyNotify arrives.
 *   focus_switcher stamp
 *       Reads `xprop -spy` output on stdin; one line "US WINDOW" per line.
 *   focus_switcher ping WINDOW SECONDS
 *       Sends the window a window manager's _NET_WM_PING every 50 ms for
 *       SECONDS and prints "pings N answered M slowest MS": how long its
 *       main loop was away.  A ping unanswered at the end counts in full.
 *   focus_switcher tail FILE
 *       Follows a JSON-lines record file through inotify; one line
 *       "US HANDLE TIME_US SEEN" per record line, US being when the line
 *       appeared and TIME_US its own "time" field.
 *
 * US is CLOCK_REALTIME in microseconds; windows are printed in decimal.
 * Activation is EWMH's _NET_ACTIVE_WINDOW client message with source 2 (a
 * pager acting for the user), which openbox honours without focus-stealing
 * checks; steal's is source 1. */
#define _GNU_SOURCE
#include <signal.h>
#include <ctype.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

static Display* dpy;
static Window root;
static Atom a_active, a_pid, a_net_name, a_utf8;

static long long now_us(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_REALTIME, &ts);
    return (long long)ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

static long long mono_us(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000000LL + ts.tv_nsec / 1000;
}

static void sleep_us(long long us)
{
    if (us <= 0)
        return;
    struct timespec ts = {us / 1000000, (us % 1000000) * 1000};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {}
}

static int ignore_x_error(Display* d, XErrorEvent* e)
{
    (void)d;
    (void)e;
    return 0;
}

static void open_display(void)
{
    dpy = XOpenDisplay(NULL);
    if (!dpy) {
        fprintf(stderr, "focus_switcher: cannot open display\n");
        exit(1);
    }
    XSetErrorHandler(ignore_x_error);
    root = DefaultRootWindow(dpy);
    a_active = XInternAtom(dpy, "_NET_ACTIVE_WINDOW", False);
    a_pid = XInternAtom(dpy, "_NET_WM_PID", False);
    a_net_name = XInternAtom(dpy, "_NET_WM_NAME", False);
    a_utf8 = XInternAtom(dpy, "UTF8_STRING", False);
    XSelectInput(dpy, root, PropertyChangeMask);
}

static Window active_window(void)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = NULL;
    Window w = None;
    if (XGetWindowProperty(dpy, root, a_active, 0, 1, False, XA_WINDOW, &type, &format,
                           &count, &after, &data) == Success && data && format == 32 && count == 1)
        w = (Window)*(unsigned long*)data;
    if (data)
        XFree(data);
    return w;
}

static void activate_as(Window w, long source)
{
    XEvent e;
    memset(&e, 0, sizeof e);
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = a_active;
    e.xclient.format = 32;
    e.xclient.data.l[0] = source;
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    XFlush(dpy);
}

static void activate(Window w)
{
    activate_as(w, 2);
}

/* Waits until _NET_ACTIVE_WINDOW names W; 0 on time-out. */
static int wait_active(Window w, long long timeout_us)
{
    const long long end = mono_us() + timeout_us;
    XSync(dpy, False);
    for (;;) {
        if (active_window() == w)
            return 1;
        while (!XPending(dpy)) {
            const long long left = end - mono_us();
            if (left <= 0)
                return active_window() == w;
            struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
            poll(&p, 1, (int)(left / 1000) + 1);
        }
        while (XPending(dpy)) {
            XEvent e;
            XNextEvent(dpy, &e);
        }
    }
}

static Window make_window(const char* name, int x, int focus_on_map)
{
    Window w = XCreateSimpleWindow(dpy, root, x, 40, 240, 120, 0, 0, 0xdddddd);
    XStoreName(dpy, w, name);
    XChangeProperty(dpy, w, a_net_name, a_utf8, 8, PropModeReplace,
                    (const unsigned char*)name, (int)strlen(name));
    XClassHint hint = {(char*)"focus_switcher", (char*)"BenchFocusSwitcher"};
    XSetClassHint(dpy, w, &hint);
    XWMHints wm = {.flags = InputHint, .input = True};
    XSetWMHints(dpy, w, &wm);
    const unsigned long pid = (unsigned long)getpid();
    XChangeProperty(dpy, w, a_pid, XA_CARDINAL, 32, PropModeReplace,
                    (const unsigned char*)&pid, 1);
    if (!focus_on_map) {
        const unsigned long never = 0;
        XChangeProperty(dpy, w, XInternAtom(dpy, "_NET_WM_USER_TIME", False), XA_CARDINAL, 32,
                        PropModeReplace, (const unsigned char*)&never, 1);
    }
    XSelectInput(dpy, w, StructureNotifyMask);
    XMapWindow(dpy, w);
    return w;
}

static void wait_mapped(Window w)
{
    XEvent e;
    const long long end = mono_us() + 10000000;
    while (mono_us() < end) {
        if (XCheckTypedWindowEvent(dpy, w, MapNotify, &e))
            return;
        struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
        poll(&p, 1, 50);
    }
    fprintf(stderr, "focus_switcher: window 0x%lx not mapped\n", w);
}

/* Two windows of our own, or the two given; the focus rests on the second
 * and has stayed there for settle_us when this returns. */
static void prepare(Window* a, Window* b, const char* name_a, const char* name_b, long long settle_us)
{
    if (!*a) {
        char na[64], nb[64];
        snprintf(na, sizeof na, "%s-%d", name_a, (int)getpid());
        snprintf(nb, sizeof nb, "%s-%d", name_b, (int)getpid());
        *a = make_window(na, 40, 1);
        *b = make_window(nb, 320, 1);
        wait_mapped(*a);
        wait_mapped(*b);
    }
    printf("windows %lu %lu\n", *a, *b);
    fflush(stdout);
    activate(*b);
    if (!wait_active(*b, 5000000))
        fprintf(stderr, "focus_switcher: window manager did not activate 0x%lx\n", *b);
    sleep_us(settle_us);
    wait_active(*b, 0);  /* drain */
}

static int cmd_switch(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    const long long dwell = (long long)(atof(argv[2]) * 1000.0);
    const long count = atol(argv[3]);
    Window a = 0, b = 0;
    if (argc >= 6) {
        a = strtoul(argv[4], NULL, 0);
        b = strtoul(argv[5], NULL, 0);
    }
    open_display();
    prepare(&a, &b, "bench-switch-A", "bench-switch-B", 400000);
    printf("start %lld\n", now_us());
    fflush(stdout);
    Window last = b;
    for (long i = 0; i < count; ++i) {
        last = (i % 2 == 0) ? a : b;
        activate(last);
        sleep_us(dwell);
        while (XPending(dpy)) {  /* keep our queue short */
            XEvent e;
            XNextEvent(dpy, &e);
        }
    }
    XSync(dpy, False);
    printf("end %lld\n", now_us());
    fflush(stdout);
    /* Let the window manager work off its queue and the observers log it
     * before our windows go away. */
    wait_active(last, 20000000);
    sleep_us(600000);
    return 0;
}

static int cmd_thief(int argc, char** argv)
{
    if (argc < 5)
        return 2;
    const long count = atol(argv[2]);
    const long long hold = (long long)(atof(argv[3]) * 1000.0);
    const long long gap = (long long)(atof(argv[4]) * 1000.0);
    Window victim = 0, thief = 0;
    open_display();
    prepare(&thief, &victim, "bench-thief", "bench-victim", 400000);
    printf("start %lld\n", now_us());
    fflush(stdout);
    int missed = 0;
    for (long i = 0; i < count; ++i) {
        activate(thief);
        if (!wait_active(thief, 2000000))
            ++missed;
        sleep_us(hold);
        activate(victim);
        wait_active(victim, 2000000);
        sleep_us(gap);
    }
    printf("end %lld\n", now_us());
    if (missed)
        printf("missed %d\n", missed);
    fflush(stdout);
    sleep_us(400000);
    return 0;
}

static int cmd_steal(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    const long long pause = (long long)(atof(argv[2]) * 1000.0);
    const long long hold = (long long)(atof(argv[3]) * 1000.0);
    open_display();
    char name[64];
    snprintf(name, sizeof name, "steal-%d", (int)getpid());
    const Window w = make_window(name, 600, 0);
    wait_mapped(w);
    printf("window %lu\n", w);
    fflush(stdout);
    sleep_us(pause);
    activate_as(w, 1);
    if (!wait_active(w, 5000000)) {
        fprintf(stderr, "focus_switcher: window manager did not activate 0x%lx\n", w);
        return 1;
    }
    sleep_us(hold);
    XDestroyWindow(dpy, w);
    XSync(dpy, False);
    return 0;
}

/* A program that asks for the focus and is refused: "attention" maps a
 * window without the focus and asks for it to be marked as demanding
 * attention; "refused" asks for the activation of a window of its own that
 * it never maps, which no window manager can grant.  Prints "window W",
 * keeps the window HOLD_MS, and destroys it. */
static int cmd_nag(const char* kind, const char* hold_ms)
{
    open_display();
    char name[64];
    snprintf(name, sizeof name, "nag-%s-%d", kind, (int)getpid());
    Window w;
    if (strcmp(kind, "attention") == 0) {
        w = make_window(name, 600, 0);
        wait_mapped(w);
        XEvent e;
        memset(&e, 0, sizeof e);
        e.xclient.type = ClientMessage;
        e.xclient.window = w;
        e.xclient.message_type = XInternAtom(dpy, "_NET_WM_STATE", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = 1; /* add */
        e.xclient.data.l[1] = (long)XInternAtom(dpy, "_NET_WM_STATE_DEMANDS_ATTENTION", False);
        e.xclient.data.l[3] = 1; /* a normal application */
        XSendEvent(dpy, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &e);
    } else if (strcmp(kind, "refused") == 0) {
        w = XCreateSimpleWindow(dpy, root, 600, 40, 240, 120, 0, 0, 0xdddddd);
        XStoreName(dpy, w, name);
        const unsigned long pid = (unsigned long)getpid();
        XChangeProperty(dpy, w, a_pid, XA_CARDINAL, 32, PropModeReplace, (const unsigned char*)&pid, 1);
        XSync(dpy, False);
        activate_as(w, 1);
    } else {
        return 2;
    }
    XFlush(dpy);
    printf("window %lu\n", w);
    fflush(stdout);
    sleep_us((long long)(atof(hold_ms) * 1000.0));
    XDestroyWindow(dpy, w);
    XSync(dpy, False);
    return 0;
}

static int cmd_host(const char* hold_ms)
{
    const long long hold = (long long)(atof(hold_ms) * 1000.0);
    sigset_t poke;
    sigemptyset(&poke);
    sigaddset(&poke, SIGUSR1);
    sigprocmask(SIG_BLOCK, &poke, NULL);
    open_display();
    setvbuf(stdout, NULL, _IOLBF, 0);
    for (int got = 0;;) {
        if (sigwait(&poke, &got) != 0)
            return 1;
        const Window w = make_window("hosted", 600, 0);
        wait_mapped(w);
        printf("window %lu\n", w);
        activate_as(w, 1);
        if (wait_active(w, 5000000))
            sleep_us(hold);
        XDestroyWindow(dpy, w);
        XSync(dpy, False);
    }
}

static int cmd_watch(void)
{
    open_display();
    setvbuf(stdout, NULL, _IOLBF, 0);
    printf("%lld %lu\n", now_us(), active_window());
    for (;;) {
        XEvent e;
        XNextEvent(dpy, &e);
        const long long t = now_us();
        if (e.type != PropertyNotify || e.xproperty.atom != a_active)
            continue;
        const Window w = e.xproperty.state == PropertyDelete ? None : active_window();
        printf("%lld %lu\n", t, w);
    }
    return 0;
}

static int cmd_stamp(void)
{
    char buf[65536];
    size_t used = 0;
    setvbuf(stdout, NULL, _IOLBF, 0);
    for (;;) {
        const ssize_t n = read(STDIN_FILENO, buf + used, sizeof buf - 1 - used);
        if (n <= 0)
            return 0;
        const long long t = now_us();
        used += (size_t)n;
        char* line = buf;
        char* nl;
        while ((nl = memchr(line, '\n', used - (size_t)(line - buf)))) {
            *nl = '\0';
            /* "_NET_ACTIVE_WINDOW(WINDOW): window id # 0x1a00003" */
            const char* hash = strchr(line, '#');
            unsigned long w = hash ? strtoul(hash + 1, NULL, 16) : 0;
            printf("%lld %lu\n", t, w);
            line = nl + 1;
        }
        used -= (size_t)(line - buf);
        memmove(buf, line, used);
        if (used == sizeof buf - 1)
            used = 0;  /* a line this long is no xprop output */
    }
}

/* --- JSON lines of the record file ------------------------------------- */

static const char* skip_ws(const char* p)
{
    while (*p && isspace((unsigned char)*p))
        ++p;
    return p;
}

/* Copies a JSON string (at the opening quote) into out, undoing simple
 * escapes; returns the position after the closing quote or NULL. */
static const char* json_string(const char* p, char* out, size_t size)
{
    if (*p != '"')
        return NULL;
    ++p;
    size_t n = 0;
    while (*p && *p != '"') {
        char c = *p++;
        if (c == '\\') {
            if (!*p)
                return NULL;
            c = *p++;
            if (c == 'u') {  /* kept as '?': no field we read needs it */
                for (int i = 0; i < 4 && *p; ++i)
                    ++p;
                c = '?';
            } else if (c == 'n') c = '\n';
            else if (c == 't') c = '\t';
            else if (c == 'r') c = '\r';
            else if (c == 'b') c = '\b';
            else if (c == 'f') c = '\f';
        }
        if (n + 1 < size)
            out[n++] = c;
    }
    if (size)
        out[n] = '\0';
    return *p == '"' ? p + 1 : NULL;
}

/* "2026-12-08T02:15:03.123+00:00" to microseconds since the epoch. */
static int iso_time_us(const char* s, long long* us)
{
    struct tm tm;
    memset(&tm, 0, sizeof tm);
    int consumed = 0;
    if (sscanf(s, "%4d-%2d-%2dT%2d:%2d:%2d%n", &tm.tm_year, &tm.tm_mon, &tm.tm_mday,
               &tm.tm_hour, &tm.tm_min, &tm.tm_sec, &consumed) != 6)
        return 0;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    const char* p = s + consumed;
    long frac = 0, scale = 1000000;
    if (*p == '.' || *p == ',') {
        ++p;
        while (isdigit((unsigned char)*p)) {
            if (scale > 1) {
                scale /= 10;
                frac += (*p - '0') * scale;
            }
            ++p;
        }
    }
    long offset = 0;
    if (*p == '+' || *p == '-') {
        const int sign = *p == '-' ? -1 : 1;
        int hh = 0, mm = 0;
        if (sscanf(p + 1, "%2d:%2d", &hh, &mm) < 1 && sscanf(p + 1, "%2d%2d", &hh, &mm) < 1)
            return 0;
        offset = sign * (hh * 3600L + mm * 60L);
    } else if (*p != 'Z') {
        return 0;  /* no offset: the local time would be a guess */
    }
    *us = ((long long)timegm(&tm) - offset) * 1000000LL + frac;
    return 1;
}

/* Reads the top-level members "time", "handle" and "seen" of one line. */
static int parse_record(const char* line, unsigned long long* handle, long long* time_us,
                        char* seen, size_t seen_size)
{
    int have_handle = 0, have_time = 0;
    const char* p = skip_ws(line);
    if (*p++ != '{')
        return 0;
    for (;;) {
        p = skip_ws(p);
        if (*p == '}')
            break;
        char key[32], text[512];
        p = json_string(p, key, sizeof key);
        if (!p)
            return 0;
        p = skip_ws(p);
        if (*p++ != ':')
            return 0;
        p = skip_ws(p);
        if (*p == '"') {
            p = json_string(p, text, sizeof text);
            if (!p)
                return 0;
            if (strcmp(key, "time") == 0)
                have_time = iso_time_us(text, time_us);
            else if (strcmp(key, "seen") == 0) {
                const size_t n = strnlen(text, seen_size - 1);
                memcpy(seen, text, n);
                seen[n] = '\0';
            }
        } else {
            char* end;
            const unsigned long long v = strtoull(p, &end, 10);
            if (strcmp(key, "handle") == 0 && end != p) {
                *handle = v;
                have_handle = 1;
            }
            /* numbers, true/false/null: skip to the next member */
            while (*end && *end != ',' && *end != '}')
                ++end;
            p = end;
        }
        p = skip_ws(p);
        if (*p == ',')
            ++p;
        else if (*p == '}')
            break;
        else
            return 0;
    }
    return have_handle && have_time;
}

static int cmd_tail(const char* path)
{
    /* The directory is watched: the file may not exist yet. */
    char dir[PATH_MAX];
    snprintf(dir, sizeof dir, "%s", path);
    char* slash = strrchr(dir, '/');
    if (slash)
        *slash = '\0';
    else
        strcpy(dir, ".");
    const int in = inotify_init1(IN_CLOEXEC);
    if (in < 0 || inotify_add_watch(in, dir, IN_CREATE | IN_MODIFY | IN_MOVED_TO | IN_CLOSE_WRITE) < 0) {
        perror("focus_switcher: inotify");
        return 1;
    }
    setvbuf(stdout, NULL, _IOFBF, 1 << 16);
    int fd = -1;
    off_t offset = 0;
    char* pending = NULL;
    size_t pending_len = 0;
    for (;;) {
        struct pollfd p = {in, POLLIN, 0};
        poll(&p, 1, 500);  /* the time-out also covers a missed event */
        const long long t = now_us();
        if (p.revents & POLLIN) {
            char ev[8192];
            ssize_t ignored = read(in, ev, sizeof ev);
            (void)ignored;
        }
        struct stat st;
        if (stat(path, &st) != 0)
            continue;
        if (fd >= 0) {
            struct stat open_st;
            if (fstat(fd, &open_st) != 0 || open_st.st_ino != st.st_ino || st.st_size < offset) {
                close(fd);  /* replaced or truncated: start over */
                fd = -1;
            }
        }
        if (fd < 0) {
            fd = open(path, O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue;
            offset = 0;
            pending_len = 0;
        }
        char buf[65536];
        ssize_t n;
        while ((n = pread(fd, buf, sizeof buf, offset)) > 0) {
            offset += n;
            char* grown = realloc(pending, pending_len + (size_t)n + 1);
            if (!grown)
                return 1;
            pending = grown;
            memcpy(pending + pending_len, buf, (size_t)n);
            pending_len += (size_t)n;
        }
        size_t start = 0;
        for (size_t i = 0; i < pending_len; ++i) {
            if (pending[i] != '\n')
                continue;
            pending[i] = '\0';
            unsigned long long handle = 0;
            long long time_us = 0;
            char seen[16] = "?";
            if (parse_record(pending + start, &handle, &time_us, seen, sizeof seen))
                printf("%lld %llu %lld %s\n", t, handle, time_us, seen);
            else
                printf("%lld -1 0 unparsed\n", t);
            start = i + 1;
        }
        memmove(pending, pending + start, pending_len - start);
        pending_len -= start;
        fflush(stdout);
    }
}

static int cmd_raise(const char* window)
{
    const Window w = (Window)strtoul(window, NULL, 0);
    open_display();
    activate_as(w, 1);
    return wait_active(w, 2000000) ? 0 : 1;
}

static int cmd_ping(const char* window, const char* seconds)
{
    const Window w = (Window)strtoul(window, NULL, 0);
    open_display();
    const Atom protocols = XInternAtom(dpy, "WM_PROTOCOLS", False);
    const Atom ping = XInternAtom(dpy, "_NET_WM_PING", False);
    /* The answer goes to the root, where a window manager would read it. */
    XSelectInput(dpy, root, SubstructureNotifyMask);
    const long long end = mono_us() + (long long)(atof(seconds) * 1000000.0);
    long sent = 0, answered = 0;
    long long slowest = 0, pending_since = 0;
    unsigned long pending = 0; /* the stamp of the ping awaiting its answer */
    while (mono_us() < end) {
        if (!pending) {
            XEvent e;
            memset(&e, 0, sizeof e);
            e.xclient.type = ClientMessage;
            e.xclient.window = w;
            e.xclient.message_type = protocols;
            e.xclient.format = 32;
            e.xclient.data.l[0] = (long)ping;
            pending = (unsigned long)(++sent);
            e.xclient.data.l[1] = (long)pending;
            e.xclient.data.l[2] = (long)w;
            XSendEvent(dpy, w, False, NoEventMask, &e);
            XFlush(dpy);
            pending_since = mono_us();
        }
        struct pollfd p = {ConnectionNumber(dpy), POLLIN, 0};
        if (!XPending(dpy))
            poll(&p, 1, 10);
        while (XPending(dpy)) {
            XEvent e;
            XNextEvent(dpy, &e);
            if (e.type == ClientMessage && (Atom)e.xclient.data.l[0] == ping &&
                (unsigned long)e.xclient.data.l[1] == pending) {
                const long long took = mono_us() - pending_since;
                if (took > slowest)
                    slowest = took;
                ++answered;
                pending = 0;
                /* Every 50 ms or so, not flat out. */
                sleep_us(50000 - took);
            }
        }
    }
    if (pending && mono_us() - pending_since > slowest)
        slowest = mono_us() - pending_since;
    printf("pings %ld answered %ld slowest %lld\n", sent, answered, slowest / 1000);
    return 0;
}

int main(int argc, char** argv)
{
    const char* cmd = argc > 1 ? argv[1] : "";
    int rc = 2;
    if (strcmp(cmd, "switch") == 0)
        rc = cmd_switch(argc, argv);
    else if (strcmp(cmd, "thief") == 0)
        rc = cmd_thief(argc, argv);
    else if (strcmp(cmd, "steal") == 0)
        rc = cmd_steal(argc, argv);
    else if (strcmp(cmd, "host") == 0 && argc > 2)
        rc = cmd_host(argv[2]);
    else if (strcmp(cmd, "nag") == 0 && argc > 3)
        rc = cmd_nag(argv[2], argv[3]);
    else if (strcmp(cmd, "raise") == 0 && argc > 2)
        rc = cmd_raise(argv[2]);
    else if (strcmp(cmd, "watch") == 0)
        rc = cmd_watch();
    else if (strcmp(cmd, "stamp") == 0)
        rc = cmd_stamp();
    else if (strcmp(cmd, "tail") == 0 && argc > 2)
        rc = cmd_tail(argv[2]);
    else if (strcmp(cmd, "ping") == 0 && argc > 3)
        rc = cmd_ping(argv[2], argv[3]);
    if (rc == 2)
        fprintf(stderr,
                "usage: focus_switcher switch DWELL_MS COUNT [A B] | thief COUNT HOLD_MS GAP_MS\n"
                "       | steal PAUSE_MS HOLD_MS | raise WINDOW | host HOLD_MS | watch | stamp | tail FILE\n"
                "       | ping WINDOW SECONDS | nag attention|refused HOLD_MS\n");
    return rc;
}
