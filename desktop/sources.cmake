# Further sources of the desktop area (set by CMakeLists.txt at the root).
set(DESKTOP_LOGIC_SOURCES
  desktop/short_name.cpp
  desktop/ipc_endpoint_${PLATFORM_SUFFIX}.cpp
)
set(DESKTOP_UI_SOURCES
  desktop/tray_availability_${PLATFORM_SUFFIX}.cpp
  desktop/modal_dialog_tracker.cpp
)
if(PLATFORM_SUFFIX STREQUAL "x11")
  # Key grabs and the private socket directory exist only on X11/POSIX.
  list(APPEND DESKTOP_LOGIC_SOURCES
    desktop/virtual_key_map.cpp
    desktop/lock_modifiers.cpp
    desktop/key_grab.cpp
    desktop/private_directory.cpp
  )
endif()
