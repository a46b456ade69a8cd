# The real frame in-process under the test session's X server.
add_executable(gui_tests
  gui/gui_test_main.cpp
  gui/test_main_frame.cpp
)
target_include_directories(gui_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/gui)
target_link_libraries(gui_tests PRIVATE corvalin_ui GTest::gtest)
add_test(NAME gui_tests COMMAND gui_tests)
