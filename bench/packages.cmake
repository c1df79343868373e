# packages_bench: ExpandPackage beside a plain inflate loop, and the import of the large archive as a package
# beside the sqlite3 shell running the same deletes and inserts. `build-*/bench/packages_bench [WORK-FOLDER]`.
add_executable(packages_bench ${CMAKE_CURRENT_LIST_DIR}/packages_bench.cpp)
target_link_libraries(packages_bench PRIVATE velm_packages SQLite::SQLite3 ZLIB::ZLIB)
target_compile_definitions(packages_bench PRIVATE 
  VELM_BENCH_WORK="${CMAKE_BINARY_DIR}/bench-packages")
set_target_properties(packages_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
