# Desktop-program tests: the real windows, driven headless with Qt Test.
set(CMAKE_AUTOMOC ON)
add_executable(test_app
  app/test_main.cpp
  app/app_fixture.h
  app/app_fixture.cpp
  app/main_window_test.cpp
  app/navigation_test.cpp
  app/dialogs_test.cpp
  app/files_test.cpp
  app/screenshot.cpp
)
target_include_directories(test_app PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/app)
target_link_libraries(test_app PRIVATE halvane_window Qt6::Test)
add_dependencies(test_app vantrix01)
add_test(NAME test_app COMMAND test_app)
set_tests_properties(test_app PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 600)
