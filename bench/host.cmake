# The command-line host's batch: 10,000 fluids through the eight ISO 6976 classes, and through
# every class with the host's flash on one thread and on two, and through the stream that
# `calorix-host batch` runs (rows written in order) with its window of 16 fluids per thread and of
# 4; each with the processor and waiting time of its threads; the work per fluid before and after
# its objects were set up once and its state shared.
add_executable(host_batch_bench ${CMAKE_CURRENT_LIST_DIR}/host_batch_bench.cpp)
target_link_libraries(host_batch_bench PRIVATE calorix_host benchmark::benchmark_main)
target_compile_definitions(host_batch_bench PRIVATE CALORIX_MODULE_PATH="${CMAKE_BINARY_DIR}/bin/Calorix.so")
add_dependencies(host_batch_bench Calorix varbank2)
