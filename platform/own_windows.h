#pragma once

// What the desktop does for the program's own windows: putting them on
// screen and in front, the log's end kept in view, the clipboard after exit.
// platform/gtk on Linux, platform/win32.

#include <functional>

#include <wx/string.h>

class wxDialog;
class wxTextCtrl;
class wxTopLevelWindow;

// Runs the callback from the event loop once the window system has put the
// shown window on screen, so that work competing with it does not hold up the
// window's first appearance.  Never runs after the window is gone, nor if the
// window never reaches the screen.
void CallWhenOnScreen(wxTopLevelWindow* window, std::function<void()> callback);

// Puts a shown window of ours on top of all others and gives it the
// keyboard, as when a second start asks for it.
void BringToFront(wxTopLevelWindow* window);

// Adds a line at the end of a multi-line log and shows that end.  The log
// is editable: when text the user left at its end has no line end, the line
// starts on a line of its own.
void AppendLineToLog(wxTextCtrl* log, const wxString& line);

// Makes what the user copied from our windows outlive the program.  Called
// while the windows still exist.
void KeepClipboardAfterExit();

// Closes an open modal dialog as if the user had cancelled it: the session
// ends, and nobody will answer.  Native message boxes too, which the toolkit
// cannot end itself.
void CancelModalDialog(wxDialog* dialog);
