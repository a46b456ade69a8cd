#pragma once

// The tray icon for hosts that speak only StatusNotifierItem, with its menu
// over dbusmenu, on a private session connection: the bus name, the two
// objects and their answers.  The toolkit's side (the icon's pixels, the
// labels as text) is the caller's.

#include <memory>
#include <string>
#include <vector>

#include "platform/tray.h"

// One size of the icon as ARGB32 in network byte order, width * height * 4
// bytes.
struct StatusNotifierPixmap
{
    int width;
    int height;
    std::string argb;
};

// The item registered with the session's StatusNotifierWatcher, or null when
// none is on the bus.  title and tooltip in UTF-8; the menu's labels with the
// toolkit's '&' mnemonics.
std::unique_ptr<StatusNotifierIcon> StartStatusNotifierItem(
    const std::string& title, const std::string& tooltip,
    const std::vector<StatusNotifierPixmap>& pixmaps, const std::vector<TrayMenuEntry>& menu,
    StatusNotifierActions actions);

// dbusmenu marks the mnemonic with '_' where the toolkit uses '&'.
std::string DbusMenuLabel(const std::string& label);
