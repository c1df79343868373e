# network_bench: DownloadFile of the large benchmark package from a server on 127.0.0.1 beside the curl program.
# `build-*/bench/network_bench [RUNS]`.
add_executable(network_bench ${CMAKE_CURRENT_LIST_DIR}/network_bench.cpp)
target_link_libraries(network_bench PRIVATE velm_packages velm_http_test_server Qt6::Core)

set_target_properties(network_bench PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
