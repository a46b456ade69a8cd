#include "platform/wayland/kwin_hot_key.h"

#include <gio/gio.h>

#include <unistd.h>

#include <cstring>

#include "platform/gdbus/dbus_inbox.h"
#include "platform/key_names.h"

// The script's text, embedded at build time from scripts/kwin_hot_key.js.
extern const char kwin_hot_key_js[];

namespace
{
const char kScriptPrefix[] = "corvalin-hotkey-";

void Drop(GVariant* reply)
{
    if (reply)
        g_variant_unref(reply);
}
}  // namespace

bool KwinHotKey::IsHotKeyScript(const std::string& name)
{
    return name.rfind(kScriptPrefix, 0) == 0;
}

void KwinHotKey::Unregister(DbusInbox& inbox, const std::string& name)
{
    Drop(inbox.Bus().Call("org.kde.kglobalaccel", "/kglobalaccel", "org.kde.KGlobalAccel",
                          "unregister", g_variant_new("(ss)", "kwin", name.c_str()), nullptr,
                          kwin::kCallTimeoutMs));
}

bool KwinHotKey::Bind(DbusInbox& inbox, const std::string& objectPath, int modifiers, int keyCode,
                      std::function<void()> pressed, wxString& problem)
{
    problem.clear();
    Unbind(&inbox);
    int qtKey = 0;
    const std::string keys = QtKeySequence(modifiers, keyCode, qtKey);
    if (keys.empty())
    {
        problem = wxString::FromUTF8(UnnamedKeyProblem(keyCode, "KDE").c_str());
        return false;
    }
    // A stale one of ours would hold the key.
    ForgetStaleShortcuts(inbox);
    GVariant* available = inbox.Bus().Call(
        "org.kde.kglobalaccel", "/kglobalaccel", "org.kde.KGlobalAccel",
        "isGlobalShortcutAvailable", g_variant_new("(is)", qtKey, "kwin"), "(b)",
        kwin::kCallTimeoutMs);
    if (available)
    {
        gboolean free = TRUE;
        g_variant_get(available, "(b)", &free);
        g_variant_unref(available);
        if (!free)
        {
            problem = wxString::FromUTF8(("KDE's global shortcuts have " + keys +
                                          " already; it is left to them").c_str());
            return false;
        }
    }
    const std::string name = kScriptPrefix + std::to_string(getpid()) + "-" + kwin::RandomToken();
    std::string script = kwin_hot_key_js;
    kwin::ReplaceAll(script, "@SERVICE@", inbox.Bus().UniqueName());
    kwin::ReplaceAll(script, "@PATH@", objectPath);
    kwin::ReplaceAll(script, "@IFACE@", kwin::kReportInterface);
    kwin::ReplaceAll(script, "@NAME@", name);
    kwin::ReplaceAll(script, "@KEYS@", keys);
    m_ready = false;
    const int id = m_loader.LoadScript(script, name);
    if (id < 0)
    {
        m_loader.RemoveScriptFile();
        problem = L"KWin did not load the hot key's script";
        return false;
    }
    m_name = name;
    m_pressed = std::move(pressed);
    // As for the reporter: by its number, else every loaded script.
    const gint64 end = g_get_monotonic_time() + gint64(kwin::kRunByIdMs) * 1000;
    auto ready = [this, &inbox, end] {
        while (!m_ready && g_get_monotonic_time() < end)
            inbox.Wait(int((end - g_get_monotonic_time()) / 1000) + 1);
        return m_ready;
    };
    if (!(m_loader.RunScript(id) && ready()))
        Drop(inbox.Bus().Call(kwin::kService, "/Scripting", "org.kde.kwin.Scripting", "start",
                              nullptr, nullptr, kwin::kCallTimeoutMs));
    m_loader.RemoveScriptFile();
    return true;
}

// A KWin that ended while a shortcut of ours was registered (killed, or
// crashed) saved it, and the next one lists it again: taken out here, once
// its Corvalin is gone, so that none piles up.
void KwinHotKey::ForgetStaleShortcuts(DbusInbox& inbox)
{
    GVariant* names = inbox.Bus().Call("org.kde.kglobalaccel", "/component/kwin",
                                       "org.kde.kglobalaccel.Component", "shortcutNames", nullptr,
                                       "(as)", kwin::kCallTimeoutMs);
    if (!names)
        return;
    GVariantIter* iter = nullptr;
    const gchar* name = nullptr;
    g_variant_get(names, "(as)", &iter);
    const std::string prefix = kScriptPrefix;
    while (g_variant_iter_next(iter, "&s", &name))
    {
        const std::string shortcut = name;
        if (!IsHotKeyScript(shortcut))
            continue;
        const unsigned long long pid = kwin::ParseNumber(
            shortcut.substr(prefix.size(), shortcut.find('-', prefix.size()) - prefix.size()).c_str());
        if (pid != 0 && pid != static_cast<unsigned long long>(getpid()) &&
            access(("/proc/" + std::to_string(pid)).c_str(), F_OK) == 0)
            continue;  // another Corvalin's, still running
        // Its script, if still loaded, would hold the key.
        m_loader.Unload(shortcut);
        Unregister(inbox, shortcut);
    }
    g_variant_iter_free(iter);
    g_variant_unref(names);
}

void KwinHotKey::Unbind(DbusInbox* inbox)
{
    if (m_name.empty())
        return;
    m_loader.Unload(m_name);
    // KWin keeps an unloaded script's shortcut listed, and saves it: taken
    // out of KGlobalAccel, so that nothing of ours stays behind.
    if (inbox && inbox->IsOpen())
        Unregister(*inbox, m_name);
    m_name.clear();
    m_pressed = nullptr;
}

bool KwinHotKey::Handle(const char* member)
{
    if (std::strcmp(member, "HotKey") == 0)
    {
        if (m_pressed)
            m_pressed();
        return true;
    }
    if (std::strcmp(member, "HotKeyReady") == 0)
    {
        m_ready = true;
        return true;
    }
    return false;
}
