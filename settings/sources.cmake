# Further sources of the settings area (set by CMakeLists.txt at the root).
set(SETTINGS_LOGIC_SOURCES)
set(SETTINGS_UI_SOURCES)
