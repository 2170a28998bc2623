# fuzz_params: the parameter-file reader on arbitrary bytes.
add_executable(fuzz_params ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_params.cpp)
target_compile_options(fuzz_params PRIVATE -fsanitize=fuzzer)
target_link_options(fuzz_params PRIVATE -fsanitize=fuzzer)
target_link_libraries(fuzz_params PRIVATE halvane_params)
