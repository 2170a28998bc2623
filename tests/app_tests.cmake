# Desktop-program tests: the real windows, driven headless with Qt Test.
# Every test function is a test of its own, named CLASS.FUNCTION.
set(CMAKE_AUTOMOC ON)
add_executable(test_app
  app/test_main.cpp
  app/app_fixture.h
  app/app_fixture.cpp
  app/main_window_test.cpp
  app/navigation_test.cpp
  app/dialogs_test.cpp
  app/files_test.cpp
  app/desktop_test.cpp
  app/history_export_test.cpp
  app/explore_test.cpp
  app/explore_desktop_test.cpp
  app/robustness_test.cpp
  app/screenshot.cpp
  app/deep_view_test.cpp
)
target_include_directories(test_app PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/app)
target_link_libraries(test_app PRIVATE halvane_app halvane_version Qt6::Test)
target_compile_definitions(test_app PRIVATE HALVANE_REGRESSIONS="${PROJECT_SOURCE_DIR}/fuzz/regressions"
                                           HALVANE_RENDER="$<TARGET_FILE:halvane-render>")
add_dependencies(test_app vantrix01 halvane-render)

# Like gtest_discover_tests: the functions are listed by the built program
# when CTest starts, so that the list never falls out of step. DesktopTest
# and ExploreDesktopTest run on a real X server: a virtual one started for
# each; ScaledDesktopTest runs there at the scale factors 1, 1.5 and 2.
find_program(HALVANE_XVFB_RUN xvfb-run)
set(app_tests_script ${CMAKE_CURRENT_BINARY_DIR}/test_app_tests.cmake)
file(GENERATE OUTPUT ${app_tests_script} CONTENT "
execute_process(COMMAND \"$<TARGET_FILE:test_app>\" --list
                OUTPUT_VARIABLE functions RESULT_VARIABLE listed)
if(NOT listed EQUAL 0)
  add_test(test_app.list \"$<TARGET_FILE:test_app>\" --list)
else()
  string(REPLACE \"\\n\" \";\" functions \"\${functions}\")
  foreach(function IN LISTS functions)
    if(function)
      string(REPLACE \".\" \";\" parts \"\${function}\")
      if(function MATCHES \"^ScaledDesktopTest[.]\")
        foreach(factor 1 1.5 2)
          add_test(\"app.\${function}.\${factor}\" \"${HALVANE_XVFB_RUN}\" -a -s \"-screen 0 1024x768x24\"
                   \"$<TARGET_FILE:test_app>\" \${parts})
          set_tests_properties(\"app.\${function}.\${factor}\" PROPERTIES
                               ENVIRONMENT \"QT_QPA_PLATFORM=xcb;XDG_CURRENT_DESKTOP=;QT_SCALE_FACTOR=\${factor}\" TIMEOUT 300)
        endforeach()
      elseif(function MATCHES \"^(Explore)?DesktopTest[.]\")
        add_test(\"app.\${function}\" \"${HALVANE_XVFB_RUN}\" -a -s \"-screen 0 1024x768x24\"
                 \"$<TARGET_FILE:test_app>\" \${parts})
        set_tests_properties(\"app.\${function}\" PROPERTIES ENVIRONMENT \"QT_QPA_PLATFORM=xcb;XDG_CURRENT_DESKTOP=\" TIMEOUT 300)
      else()
        add_test(\"app.\${function}\" \"$<TARGET_FILE:test_app>\" \${parts})
        set_tests_properties(\"app.\${function}\" PROPERTIES ENVIRONMENT QT_QPA_PLATFORM=offscreen TIMEOUT 300)
      endif()
    endif()
  endforeach()
endif()
")
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${app_tests_script})
