# Further sources of the desktop area (set by CMakeLists.txt at the root).
set(DESKTOP_LOGIC_SOURCES)
set(DESKTOP_UI_SOURCES)
