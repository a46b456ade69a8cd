# Options, placement, settings files and the layout check, against real
# temporary files; no display needed.  WindowManagerHelper lives in the
# toolkit library but its Load and Save need no window.
add_executable(settings_unit_tests
  unit/settings_test_support.cpp
  unit/test_options.cpp
  unit/test_placement.cpp
  unit/test_settings_file.cpp
  unit/test_dock_layout.cpp
  unit/test_settings_fuzz.cpp
)
target_include_directories(settings_unit_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/unit)
target_link_libraries(settings_unit_tests PRIVATE corvalin_ui GTest::gtest_main)
add_test(NAME settings_unit_tests COMMAND settings_unit_tests)

# End to end: the real executable under the shared X session; serial.
foreach(name placement options minimize end_session damaged)
  add_test(NAME e2e_settings_${name}
           COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/settings_${name}.sh)
  set_tests_properties(e2e_settings_${name} PROPERTIES
                       ENVIRONMENT "CORVALIN_BIN=$<TARGET_FILE:Corvalin>" TIMEOUT 120)
endforeach()
