# jet_bench: converting the large benchmark archive to SQLite, timed beside mdb-export dumping its tables.
add_executable(jet_bench ${CMAKE_CURRENT_LIST_DIR}/jet_bench.cpp)
target_link_libraries(jet_bench PRIVATE velm_jet ZLIB::ZLIB)
target_compile_definitions(jet_bench PRIVATE VELM_FIXTURES="${VELM_FIXTURES}" VELM_BENCH_WORK="${CMAKE_BINARY_DIR}")
set_target_properties(jet_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
