# Article page build time on the big archive: `build-*/bin/article_bench [ITERATIONS]`. The package is
# inflated and converted once into the build folder's bench-data (about 250 MB, not committed).
add_executable(article_bench ${CMAKE_CURRENT_LIST_DIR}/article_bench.cpp)
target_link_libraries(article_bench PRIVATE velm_article velm_packages)
target_compile_definitions(article_bench PRIVATE 
  VELM_BENCH_DATA="${CMAKE_BINARY_DIR}/bench-data")
