# Engine, plug-in, colouring and headless-renderer tests.

# Small stand-in libraries for the binding's failure paths.
add_library(plugin_total_zero MODULE ${CMAKE_CURRENT_SOURCE_DIR}/engine/fake_plugins.cpp)
target_compile_definitions(plugin_total_zero PRIVATE FAKE_TOTAL=0 FAKE_WITH_FORMULA=1)
add_library(plugin_no_formula MODULE ${CMAKE_CURRENT_SOURCE_DIR}/engine/fake_plugins.cpp)
target_compile_definitions(plugin_no_formula PRIVATE FAKE_TOTAL=2 FAKE_WITH_FORMULA=0)
foreach(fake plugin_total_zero plugin_no_formula)
  set_target_properties(${fake} PROPERTIES PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fake_plugins/${fake}
                        OUTPUT_NAME vantrix01)
  target_include_directories(${fake} PRIVATE ${PROJECT_SOURCE_DIR}/plugin)
endforeach()

add_executable(test_engine
  engine/plugin_test.cpp
  engine/binding_test.cpp
  engine/pixel_evaluation_test.cpp
  engine/colour_test.cpp
  engine/generation_test.cpp
  engine/navigation_test.cpp
  engine/supersampling_test.cpp
  engine/render_tool_test.cpp
  engine/exactness_test.cpp
  engine/worker_pool_test.cpp
  engine/exact_view_test.cpp
  engine/progressive_test.cpp
  engine/deep_test.cpp
  engine/deep_view_test.cpp
  engine/fit_colours_test.cpp
  engine/deep_render_test.cpp
  engine/keyframes_test.cpp
)
target_link_libraries(test_engine PRIVATE halvane_engine halvane_params ${HALVANE_MPFR_LIBRARIES} GTest::gtest_main)
target_compile_definitions(test_engine PRIVATE
  HALVANE_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
  HALVANE_FAKE_PLUGIN_DIR="${CMAKE_BINARY_DIR}/fake_plugins")
add_dependencies(test_engine vantrix01 vantrix01_deep plugin_total_zero plugin_no_formula halvane-render)
gtest_discover_tests(test_engine DISCOVERY_MODE PRE_TEST)

# The record's layout is pinned for 4-byte pointers too.
find_program(HALVANE_CLANGXX NAMES clang++ clang++-14)
if(HALVANE_CLANGXX)
  add_test(NAME context_layout_32bit
           COMMAND ${HALVANE_CLANGXX} --target=i686-linux-gnu -ffreestanding -fsyntax-only -std=c++20
                   -I${PROJECT_SOURCE_DIR}/plugin -x c++ ${PROJECT_SOURCE_DIR}/plugin/iteration_context.h)
endif()

# Pictures computed by an independent implementation, in the shared folder
# beside the source tree; the test fails when that folder is missing.
add_executable(test_golden engine/golden_test.cpp)
target_link_libraries(test_golden PRIVATE halvane_engine halvane_params GTest::gtest_main)
target_compile_definitions(test_golden PRIVATE
  HALVANE_BIN_DIR="${CMAKE_BINARY_DIR}/bin"
  HALVANE_GOLDEN_DIR="${PROJECT_SOURCE_DIR}/../shared/golden")
add_dependencies(test_golden vantrix01)
gtest_discover_tests(test_golden DISCOVERY_MODE PRE_TEST)
