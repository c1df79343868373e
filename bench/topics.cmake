# topics_bench: the first rows of the largest forum of the big benchmark archive, as the grid shows them.
add_executable(topics_bench ${CMAKE_CURRENT_LIST_DIR}/topics_bench.cpp)
target_link_libraries(topics_bench PRIVATE velm_archive velm_packages)
target_compile_definitions(topics_bench PRIVATE VELM_BENCH_WORK="${CMAKE_BINARY_DIR}")
set_target_properties(topics_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
