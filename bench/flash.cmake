# The reference host's Peng-Robinson flash on a 13-component pipeline gas with water.
add_executable(flash_bench ${CMAKE_CURRENT_LIST_DIR}/flash_bench.cpp)
target_link_libraries(flash_bench PRIVATE calorix_host benchmark::benchmark_main)
