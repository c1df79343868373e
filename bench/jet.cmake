# jet_bench: converting the large benchmark archive to SQLite beside mdb-export dumping its tables, and
# velm tree on the converted archive.
add_executable(jet_bench ${CMAKE_CURRENT_LIST_DIR}/jet_bench.cpp)
target_link_libraries(jet_bench PRIVATE velm_jet velm_archive ZLIB::ZLIB)
target_compile_definitions(jet_bench PRIVATE VELM_BENCH_WORK="${CMAKE_BINARY_DIR}"
  VELM_CLI_PATH="$<TARGET_FILE:velm>")
add_dependencies(jet_bench velm)
set_target_properties(jet_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
