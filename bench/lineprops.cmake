# The GERG-2008 and DETAIL engines: density solve and properties for a pipeline gas.
add_executable(line_conditions_bench ${CMAKE_CURRENT_LIST_DIR}/line_conditions_bench.cpp)
target_link_libraries(line_conditions_bench PRIVATE calorix_lineprops_engine benchmark::benchmark_main)
