# The parameter file: format, reader rules, writer and round trips.
add_executable(test_params
  params/format_test.cpp
  params/reader_test.cpp
  params/writer_test.cpp
  params/record_test.cpp
  params/extension_lines_test.cpp
  params/frame_record_test.cpp)
target_link_libraries(test_params PRIVATE halvane_params GTest::gtest_main)
gtest_discover_tests(test_params DISCOVERY_MODE PRE_TEST)

# Folder permissions do not bind the superuser, and CI runs as root: there the
# read-only-folder test runs again as an unprivileged user.
add_test(NAME params_read_only_folder_unprivileged
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/params/run_unprivileged.sh $<TARGET_FILE:test_params>
                 WriteParameterFile.ReadOnlyFolderKeepsTheOldFile)
set_tests_properties(params_read_only_folder_unprivileged PROPERTIES SKIP_RETURN_CODE 77)
