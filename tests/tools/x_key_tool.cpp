// A second X client for the hot-key tests: holds or probes a key grab, moves
// a keysym to another keycode, reads the NumLock state.
//   x_key_tool hold KEYSYM MODS     grab until killed; prints "held" or "busy"
//   x_key_tool probe KEYSYM MODS    prints "free" or "busy", keeps nothing
//   x_key_tool move KEYSYM KEYCODE  the keysym's key loses it, KEYCODE gets it
//   x_key_tool numlock              prints "on" or "off"
// MODS: "none" or names joined by '+': shift lock ctrl alt super mod2.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <unistd.h>

namespace
{
int g_error = Success;
int OnError(Display*, XErrorEvent* event)
{
    g_error = event->error_code;
    return 0;
}

bool ParseModifiers(const std::string& text, unsigned int& mask)
{
    mask = 0;
    if (text == "none")
        return true;
    size_t start = 0;
    while (start <= text.size())
    {
        const size_t end = std::min(text.find('+', start), text.size());
        const std::string name = text.substr(start, end - start);
        if (name == "shift") mask |= ShiftMask;
        else if (name == "lock") mask |= LockMask;
        else if (name == "ctrl") mask |= ControlMask;
        else if (name == "alt") mask |= Mod1Mask;
        else if (name == "mod2") mask |= Mod2Mask;
        else if (name == "super") mask |= Mod4Mask;
        else return false;
        start = end + 1;
    }
    return true;
}

// True when the grab was taken (and is kept until the connection closes).
bool TryGrab(Display* display, KeyCode keycode, unsigned int mask)
{
    g_error = Success;
    XGrabKey(display, keycode, mask, DefaultRootWindow(display), False, GrabModeAsync,
             GrabModeAsync);
    XSync(display, False);
    return g_error == Success;
}

int Usage()
{
    std::fprintf(stderr, "usage: x_key_tool hold|probe KEYSYM MODS | move KEYSYM KEYCODE | numlock\n");
    return 2;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return Usage();
    const std::string command = argv[1];
    Display* display = XOpenDisplay(nullptr);
    if (!display)
    {
        std::fprintf(stderr, "x_key_tool: cannot open display\n");
        return 1;
    }
    XSetErrorHandler(OnError);

    if ((command == "hold" || command == "probe") && argc == 4)
    {
        unsigned int mask;
        const KeySym keysym = XStringToKeysym(argv[2]);
        const KeyCode keycode = keysym == NoSymbol ? 0 : XKeysymToKeycode(display, keysym);
        if (keycode == 0 || !ParseModifiers(argv[3], mask))
            return Usage();
        const bool grabbed = TryGrab(display, keycode, mask);
        std::printf("%s\n", grabbed ? (command == "hold" ? "held" : "free") : "busy");
        std::fflush(stdout);
        if (command == "hold" && grabbed)
            for (;;)
                pause();  // the server drops the grab when we are killed
        return 0;
    }
    if (command == "move" && argc == 4)
    {
        const KeySym keysym = XStringToKeysym(argv[2]);
        const int target = std::atoi(argv[3]);
        const KeyCode from = keysym == NoSymbol ? 0 : XKeysymToKeycode(display, keysym);
        if (from == 0 || target < 8 || target > 255)
            return Usage();
        KeySym none = NoSymbol;
        XChangeKeyboardMapping(display, from, 1, &none, 1);
        XChangeKeyboardMapping(display, target, 1, const_cast<KeySym*>(&keysym), 1);
        XSync(display, False);
        std::printf("%d\n", static_cast<int>(from));
        return g_error == Success ? 0 : 1;
    }
    if (command == "numlock" && argc == 2)
    {
        const Atom numLock = XInternAtom(display, "Num Lock", False);
        int index = -1;
        Bool on = False;
        XkbGetNamedIndicator(display, numLock, &index, &on, nullptr, nullptr);
        std::printf("%s\n", on ? "on" : "off");
        return 0;
    }
    return Usage();
}
