# index_bench: the full-text index on the large archive beside the sqlite3 shell's scan, and the import with and
# without it. Run through bench/index_bench.sh, which makes the archive first.
add_executable(index_bench ${CMAKE_CURRENT_LIST_DIR}/index_bench.cpp)
target_link_libraries(index_bench PRIVATE velm_search)
