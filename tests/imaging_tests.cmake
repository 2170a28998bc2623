# Tests of the picture files: codecs, options, saving, interoperability.
set(IMAGING_TEST_DIR ${CMAKE_CURRENT_LIST_DIR}/imaging)
add_executable(test_imaging
  ${IMAGING_TEST_DIR}/test_support.cpp
  ${IMAGING_TEST_DIR}/pnm_test.cpp
  ${IMAGING_TEST_DIR}/png_test.cpp
  ${IMAGING_TEST_DIR}/image_file_test.cpp
  ${IMAGING_TEST_DIR}/comment_test.cpp
  ${IMAGING_TEST_DIR}/interop_test.cpp
  ${IMAGING_TEST_DIR}/bmp_test.cpp
  ${IMAGING_TEST_DIR}/tga_pcx_test.cpp
  ${IMAGING_TEST_DIR}/jpeg_test.cpp
  ${IMAGING_TEST_DIR}/tiff_test.cpp
  ${IMAGING_TEST_DIR}/file_access_test.cpp
  ${IMAGING_TEST_DIR}/image_options_test.cpp
  ${IMAGING_TEST_DIR}/regressions_test.cpp
  ${IMAGING_TEST_DIR}/band_test.cpp
  ${IMAGING_TEST_DIR}/tool_comment_test.cpp
)
target_include_directories(test_imaging PRIVATE ${IMAGING_TEST_DIR})
# The parameter file is saved and opened as pictures are: both are tested here.
target_link_libraries(test_imaging PRIVATE halvane_imaging halvane_params GTest::gtest_main)
target_compile_definitions(test_imaging PRIVATE HALVANE_IMAGING_FIXTURES="${IMAGING_TEST_DIR}/fixtures"
                           HALVANE_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
                           HALVANE_REGRESSIONS="${PROJECT_SOURCE_DIR}/fuzz/regressions")
# The options test runs halvane-render, which needs its plug-in.
add_dependencies(test_imaging halvane-render vantrix01)
gtest_discover_tests(test_imaging DISCOVERY_MODE PRE_TEST)
