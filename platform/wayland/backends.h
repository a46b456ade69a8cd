#pragma once

// The Wayland window backends, in the order they are tried.  Each is
// accepted only once Connect has seen the compositor's initial state.

#include <memory>

#include "platform/wayland/reported_windows.h"

// wlroots compositors (sway, Hyprland, river, labwc…): the foreign-toplevel
// management protocol on a Wayland connection of our own.
std::unique_ptr<ReportedWindowsPlatform> CreateWlrootsPlatform();
// KDE Plasma: a KWin script of ours that calls us on each activation.
std::unique_ptr<ReportedWindowsPlatform> CreateKwinScriptPlatform();
// GNOME Shell: our Shell extension, which signals each focus change.
std::unique_ptr<ReportedWindowsPlatform> CreateGnomeExtensionPlatform();
