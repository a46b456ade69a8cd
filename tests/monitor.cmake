# Monitor logic against a fake desktop; no display needed.
add_executable(monitor_unit_tests
  unit/test_activity_line.cpp
  unit/test_foreground_change.cpp
)
target_include_directories(monitor_unit_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(monitor_unit_tests PRIVATE corvalin_logic GTest::gtest_main)
add_test(NAME monitor_unit_tests COMMAND monitor_unit_tests)

# End to end: real executable, real xterms, real window manager.  Run inside
# tests/x_session.sh (test.sh does that); serial, since they share the focus.
add_test(NAME e2e_monitor_focus COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/monitor_focus.sh)
set_tests_properties(e2e_monitor_focus PROPERTIES ENVIRONMENT "CORVALIN_BIN=$<TARGET_FILE:Corvalin>")
add_test(NAME e2e_app_command_line COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/app_command_line.sh)
set_tests_properties(e2e_app_command_line PROPERTIES ENVIRONMENT "CORVALIN_BIN=$<TARGET_FILE:Corvalin>")
add_test(NAME e2e_monitor_identity COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/monitor_identity.sh)
set_tests_properties(e2e_monitor_identity PROPERTIES ENVIRONMENT "CORVALIN_BIN=$<TARGET_FILE:Corvalin>")
add_test(NAME e2e_monitor_debug_output COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/e2e/monitor_debug_output.sh)
set_tests_properties(e2e_monitor_debug_output PROPERTIES ENVIRONMENT "CORVALIN_BIN=$<TARGET_FILE:Corvalin>")
