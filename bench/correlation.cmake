# Calculate through ICorrelation against the engine alone, and object creation. The program
# does not export the fake host's allocator spy, so allocations are not watched here.
add_executable(correlation_bench ${CMAKE_CURRENT_LIST_DIR}/correlation_bench.cpp)
target_link_libraries(correlation_bench PRIVATE calorix_test_support calorix_calorific_engine benchmark::benchmark_main)
add_dependencies(correlation_bench Calorix varbank2)
