# Desktop integration: tray icon, global hot key, single-instance link.
if(NOT WIN32)
  # Key map, lock variants, socket names and the private directory; no display.
  add_executable(desktop_unit_tests
    unit/test_virtual_key_map.cpp
    unit/test_lock_modifiers.cpp
    unit/test_ipc_endpoint.cpp
  )
  target_include_directories(desktop_unit_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(desktop_unit_tests PRIVATE corvalin_logic GTest::gtest_main)
  add_test(NAME desktop_unit_tests COMMAND desktop_unit_tests)

  # Key grabs against a real X server, a second connection playing the other client.
  add_executable(desktop_key_grab_tests x11/test_key_grab.cpp)
  target_link_libraries(desktop_key_grab_tests PRIVATE corvalin_logic GTest::gtest_main)
  add_test(NAME desktop_key_grab_tests COMMAND desktop_key_grab_tests)

  # The other X client of the end-to-end hot-key test.
  add_executable(x_key_tool e2e/x_key_tool.cpp)
  target_link_libraries(x_key_tool PRIVATE ${X11_LIBRARIES})

  foreach(name tray tray_missing hot_key single_instance)
    add_test(NAME e2e_desktop_${name}
             COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/desktop_${name}.sh)
    set_tests_properties(e2e_desktop_${name} PROPERTIES
      ENVIRONMENT "CORVALIN_BIN=$<TARGET_FILE:Corvalin>;X_KEY_TOOL=$<TARGET_FILE:x_key_tool>"
      TIMEOUT 120)
  endforeach()
endif()
