# Web search URL texts and the file association at start-up: `build-*/bin/websearch_bench`.
add_executable(websearch_bench ${CMAKE_CURRENT_LIST_DIR}/websearch_bench.cpp)
target_link_libraries(websearch_bench PRIVATE velm_websearch velm_shell_core)
