# halvane as a shell and a desktop see it: halvane-render's option table
# (its parser, --help and completion agree), and the installed files checked
# with the desktop's own tools.
add_executable(test_tools tools/render_options_test.cpp)
target_link_libraries(test_tools PRIVATE halvane_render_cli GTest::gtest_main)
gtest_discover_tests(test_tools DISCOVERY_MODE PRE_TEST)

if(HALVANE_BUILD_APP)
  # Under an X server of its own, for the double-click (xdg-open).
  find_program(HALVANE_XVFB_RUN xvfb-run)
  add_test(NAME desktop_install
           COMMAND ${HALVANE_XVFB_RUN} -a -s "-screen 0 1024x768x24"
                   bash ${CMAKE_CURRENT_SOURCE_DIR}/desktop/install_test.sh
                   ${CMAKE_COMMAND} ${CMAKE_BINARY_DIR} ${PROJECT_VERSION})
  set_tests_properties(desktop_install PROPERTIES TIMEOUT 300)
endif()
