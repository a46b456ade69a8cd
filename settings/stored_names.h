#pragma once

#include <wx/string.h>

// Names stored in users' files.  Files written by every earlier version hold
// them, so they never change, however odd some of them look.

// Files, in the settings folder.
constexpr const wchar_t kSettingsFileName[] = L"Corvalin.cfg";
constexpr const wchar_t kDockLayoutFileName[] = L"perspective.layout";

// Options.
constexpr const wchar_t kOptionMonitorWindows[] = L"/Options/MonitorWindows";
constexpr const wchar_t kOptionAlwaysOnTop[] = L"/Options/AlwaysOnTop";
constexpr const wchar_t kOptionMinimizeOnRun[] = L"/Options/MinimizeOnRun";
constexpr const wchar_t kOptionMinimizeOnClose[] = L"/Options/MinimizeOnClose";
constexpr const wchar_t kOptionHotKey[] = L"/Options/HotKey";
constexpr const wchar_t kOptionHotKeyModifiers[] = L"/Options/HotKeyVK";
constexpr const wchar_t kOptionShowIconInSystray[] = L"/Options/ShowIconInSystray";
constexpr const wchar_t kOptionRecordFile[] = L"/Options/RecordFile";
constexpr const wchar_t kOptionPromptedWithinMs[] = L"/Options/PromptedWithinMs";
constexpr const wchar_t kOptionNotifyUnprompted[] = L"/Options/NotifyUnprompted";
constexpr const wchar_t kOptionSystemLog[] = L"/Options/SystemLog";
constexpr const wchar_t kOptionExcludeModules[] = L"/Options/ExcludeModules";
constexpr const wchar_t kOptionExcludeTitles[] = L"/Options/ExcludeTitles";
constexpr const wchar_t kOptionStoreTitles[] = L"/Options/StoreTitles";
constexpr const wchar_t kOptionStoreCommandLines[] = L"/Options/StoreCommandLines";

// Window placement: the group "/Layout/<name>" and its entries.
constexpr const wchar_t kPlacementGroup[] = L"/Layout/";
constexpr const wchar_t kMainFramePlacementName[] = L"SelDlg";
constexpr const wchar_t kPlacementX[] = L"PosX";
constexpr const wchar_t kPlacementY[] = L"PosY";
constexpr const wchar_t kPlacementWidth[] = L"SizeW";
constexpr const wchar_t kPlacementHeight[] = L"SizeH";
constexpr const wchar_t kPlacementMaximized[] = L"IsMaximized";

// The dock layout: its key and the frame's panes.
constexpr const wchar_t kPerspectiveKey[] = L"PerspectiveSelDlg2";
constexpr const wchar_t kToolbarPaneName[] = L"TpplBarPane";
constexpr const wchar_t kLogPaneName[] = L"ID_Note";
constexpr const wchar_t kThievesPaneName[] = L"ThievesPane";
// The notice below the log (what cannot be seen), shown only while it holds.
constexpr const wchar_t kNoticePaneName[] = L"NoticePane";
