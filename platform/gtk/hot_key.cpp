// System-wide hot keys for wxGTK on X11, which the toolkit does not offer:
// the combination is grabbed on the root window of GDK's own connection and
// the key press is picked out of GDK's event stream before GDK sees it.
#include "platform/hot_key.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include <gdk/gdk.h>
#include <gdk/gdkx.h>
#include <wx/window.h>

#include "platform/key_names.h"
#include "platform/x11/key_grab.h"

wxDEFINE_EVENT(EVT_GLOBAL_HOTKEY, wxKeyEvent);

// The stored bits are the toolkit's, which the key names spell out.
static_assert(kHotKeyAlt == wxMOD_ALT && kHotKeyControl == wxMOD_CONTROL &&
                  kHotKeyShift == wxMOD_SHIFT && kHotKeyWin == wxMOD_WIN,
              "key_names' modifier bits are the toolkit's");

namespace
{
struct HotKey
{
    wxWindow* window;
    int id;
    int modifiers;
    int keyCode;
    std::unique_ptr<KeyGrab> grab;
};

std::vector<std::unique_ptr<HotKey>> g_hotKeys;
gulong g_keysChangedHandler = 0;

void PostHotKeyEvent(const HotKey& hotKey, const XKeyEvent& press)
{
    wxKeyEvent event(EVT_GLOBAL_HOTKEY);
    event.SetId(hotKey.id);
    event.SetEventObject(hotKey.window);
    event.SetTimestamp(press.time);
    event.m_keyCode = hotKey.keyCode;
    event.SetAltDown((hotKey.modifiers & kHotKeyAlt) != 0);
    event.SetControlDown((hotKey.modifiers & kHotKeyControl) != 0);
    event.SetShiftDown((hotKey.modifiers & kHotKeyShift) != 0);
    event.SetMetaDown((hotKey.modifiers & kHotKeyWin) != 0);
    // Queued, not processed here: a handler that opens a dialog must not run
    // a nested event loop inside GDK's event translation.
    hotKey.window->GetEventHandler()->AddPendingEvent(event);
}

GdkFilterReturn FilterHotKeys(GdkXEvent* native, GdkEvent*, gpointer)
{
    const XEvent* event = static_cast<const XEvent*>(native);
    if (event->type != KeyPress && event->type != KeyRelease)
        return GDK_FILTER_CONTINUE;
    for (const std::unique_ptr<HotKey>& hotKey : g_hotKeys)
    {
        if (!hotKey->grab->Matches(event->xkey))
            continue;
        if (event->type == KeyPress)
            PostHotKeyEvent(*hotKey, event->xkey);
        return GDK_FILTER_REMOVE;
    }
    return GDK_FILTER_CONTINUE;
}

// A grab is on a keycode, and the keysym may have moved to another key, the
// NumLock modifier to another bit.
void OnKeysChanged(GdkKeymap*, gpointer)
{
    for (const std::unique_ptr<HotKey>& hotKey : g_hotKeys)
        hotKey->grab->Grab();
}

void StartListening(GdkDisplay* display)
{
    gdk_window_add_filter(nullptr, FilterHotKeys, nullptr);
    g_keysChangedHandler = g_signal_connect(gdk_keymap_get_for_display(display), "keys-changed",
                                            G_CALLBACK(OnKeysChanged), nullptr);
}

void StopListening(GdkDisplay* display)
{
    gdk_window_remove_filter(nullptr, FilterHotKeys, nullptr);
    g_signal_handler_disconnect(gdk_keymap_get_for_display(display), g_keysChangedHandler);
    g_keysChangedHandler = 0;
}

GdkDisplay* X11Display()
{
    GdkDisplay* display = gdk_display_get_default();
    return display && GDK_IS_X11_DISPLAY(display) ? display : nullptr;
}

std::vector<std::unique_ptr<HotKey>>::iterator Find(wxWindow* window, int id)
{
    return std::find_if(g_hotKeys.begin(), g_hotKeys.end(),
                        [=](const std::unique_ptr<HotKey>& hotKey)
                        { return hotKey->window == window && hotKey->id == id; });
}
}  // namespace

bool RegisterGlobalHotKey(wxWindow* window, int id, int modifiers, int keyCode)
{
    GdkDisplay* display = X11Display();
    const KeySym keysym = VirtualKeyToKeySym(keyCode);
    if (display && keysym == NoSymbol)
        std::fprintf(stderr, "Corvalin: %s\n", UnnamedKeyProblem(keyCode, "X11").c_str());
    if (!window || !display || keysym == NoSymbol || Find(window, id) != g_hotKeys.end())
        return false;

    std::unique_ptr<HotKey> hotKey(new HotKey{window, id, modifiers, keyCode, nullptr});
    hotKey->grab.reset(
        new KeyGrab(GDK_DISPLAY_XDISPLAY(display), keysym, HotKeyModifiersToX11(modifiers)));
    if (!hotKey->grab->Grab())
        return false;
    if (g_hotKeys.empty())
        StartListening(display);
    g_hotKeys.push_back(std::move(hotKey));
    return true;
}

void UnregisterGlobalHotKey(wxWindow* window, int id)
{
    const auto found = Find(window, id);
    if (found == g_hotKeys.end())
        return;
    g_hotKeys.erase(found);
    if (g_hotKeys.empty())
        if (GdkDisplay* display = X11Display())
            StopListening(display);
}
