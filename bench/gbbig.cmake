# GBBIG throughput beside iconv: `build-*/bin/gbbig_bench` (makes its own >= 50 MB input in /tmp).
add_executable(gbbig_bench ${CMAKE_CURRENT_LIST_DIR}/gbbig_bench.cpp)
target_link_libraries(gbbig_bench PRIVATE velm_codeconv PkgConfig::ICU)
