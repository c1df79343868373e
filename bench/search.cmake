# Quick search on the big archive beside the sqlite3 shell: `build-*/bin/search_bench [WORK_FOLDER]` (the first
# run expands and converts the archive into the work folder, build-*/bench-data by default).
add_executable(search_bench ${CMAKE_CURRENT_LIST_DIR}/search_bench.cpp)
target_link_libraries(search_bench PRIVATE velm_search ZLIB::ZLIB)

