# The command-line host's batch: 10,000 fluids through every correlation with the host's flash,
# on every core, as `calorix-host batch --correlations all --flash` runs it.
add_executable(host_batch_bench ${CMAKE_CURRENT_LIST_DIR}/host_batch_bench.cpp)
target_link_libraries(host_batch_bench PRIVATE calorix_host benchmark::benchmark_main)
target_compile_definitions(host_batch_bench PRIVATE CALORIX_MODULE_PATH="${CMAKE_BINARY_DIR}/bin/Calorix.so")
add_dependencies(host_batch_bench Calorix varbank2)
