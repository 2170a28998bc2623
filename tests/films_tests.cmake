# halvane-render's films, tiles and big pictures, and the recipes that spread
# them over machines.
add_executable(test_films tools/render_parts_test.cpp tools/film_test.cpp)
target_link_libraries(test_films PRIVATE halvane_render_parts GTest::gtest_main)
target_compile_definitions(test_films PRIVATE HALVANE_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
add_dependencies(test_films halvane-render vantrix01)
gtest_discover_tests(test_films DISCOVERY_MODE PRE_TEST)

# The recipes for real (GNU parallel, local and over ssh; Slurm's scripts
# without Slurm). Not in the sanitizer build: they run the program, whose
# paths the tests above already cover there.
if(NOT HALVANE_SANITIZE)
  foreach(recipe parallel slurm)
    add_test(NAME ${recipe}_recipe
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/tools/${recipe}_test.sh $<TARGET_FILE:halvane-render>
                     ${PROJECT_SOURCE_DIR}/scripts)
    set_tests_properties(${recipe}_recipe PROPERTIES PASS_REGULAR_EXPRESSION "PASSED" FAIL_REGULAR_EXPRESSION "FAILED")
  endforeach()
endif()
