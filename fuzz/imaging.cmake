# One libFuzzer target per image reader: fuzz_<format>, seeded from
# fuzz/corpus/<format>. The codec library is instrumented for coverage too.
target_compile_options(halvane_imaging PRIVATE -fsanitize=fuzzer-no-link)

set(HALVANE_IMAGE_FUZZERS bmp:input.bmp jpeg:input.jpg png:input.png tiff:input.tif tga:input.tga pcx:input.pcx
    pnm:input.ppm)
foreach(entry IN LISTS HALVANE_IMAGE_FUZZERS)
  string(REPLACE ":" ";" parts "${entry}")
  list(GET parts 0 format)
  list(GET parts 1 file_name)
  add_executable(fuzz_${format} ${CMAKE_CURRENT_LIST_DIR}/fuzz_image_reader.cpp)
  target_compile_definitions(fuzz_${format} PRIVATE HALVANE_FUZZ_FILE_NAME="${file_name}")
  target_compile_options(fuzz_${format} PRIVATE -fsanitize=fuzzer)
  target_link_options(fuzz_${format} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(fuzz_${format} PRIVATE halvane_imaging)
endforeach()

# Reading files from disk a band at a time, and their comments (PNG or TIFF,
# by the input's first byte), seeded from fuzz/corpus/band_reader.
add_executable(fuzz_band_reader ${CMAKE_CURRENT_LIST_DIR}/fuzz_band_reader.cpp)
target_compile_options(fuzz_band_reader PRIVATE -fsanitize=fuzzer)
target_link_options(fuzz_band_reader PRIVATE -fsanitize=fuzzer)
target_link_libraries(fuzz_band_reader PRIVATE halvane_imaging)
