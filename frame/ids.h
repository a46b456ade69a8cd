#pragma once

// Window and command identifiers of the main frame.
enum
{
    ID_MAIN_HOTKEY = 1,
    ID_MAIN_FRAME = 10000,
    ID_TOOLBAR = 10001,
    ID_HIDE_TO_TRAY = 10002,
    ID_MONITOR_WINDOWS = 10003,
    ID_CLEAR_LOG = 10004,
    ID_ALWAYS_ON_TOP = 10005,
    ID_MONITOR_TIMER = 10006,
    ID_LOG = 10007,
    ID_SAVE_LOG = 10008,
    ID_RECORD_TO_FILE = 10009,
    ID_START_AT_LOGIN = 10010,
    ID_SYSTEM_LOG = 10020,
};

