# The X11 platform layer against a real X server.
if(NOT WIN32)
  add_executable(x11_platform_tests x11/test_window_platform_x11.cpp)
  target_link_libraries(x11_platform_tests PRIVATE corvalin_logic GTest::gtest)
  add_test(NAME x11_platform_tests COMMAND x11_platform_tests)
  add_test(NAME x11_platform_no_wm
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/x_session.sh --no-wm
                   $<TARGET_FILE:x11_platform_tests> --gtest_filter=*NoWindowManager*)
  set_tests_properties(x11_platform_no_wm PROPERTIES ENVIRONMENT "CORVALIN_EXPECT_NO_WM=1")
endif()
