# Keyword marking of a 1 MB post beside marking by comparison at every place: `build-*/bench/keyword_bench`.
add_executable(keyword_bench ${CMAKE_CURRENT_LIST_DIR}/keyword_bench.cpp)
target_link_libraries(keyword_bench PRIVATE velm_article)
