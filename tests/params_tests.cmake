# The parameter file: format, reader rules, writer and round trips.
add_executable(test_params
  params/format_test.cpp
  params/reader_test.cpp
  params/writer_test.cpp)
target_link_libraries(test_params PRIVATE halvane_params GTest::gtest_main)
gtest_discover_tests(test_params DISCOVERY_MODE PRE_TEST)
