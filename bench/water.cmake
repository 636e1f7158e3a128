# One hydrocarbon dew-point calculation through the module, over a flash of negligible cost.
add_executable(dew_point_bench ${CMAKE_CURRENT_LIST_DIR}/dew_point_bench.cpp)
target_link_libraries(dew_point_bench PRIVATE calorix_test_support benchmark::benchmark_main)
# The fake host's allocator spy is found by symbol lookup from the module.
set_target_properties(dew_point_bench PROPERTIES ENABLE_EXPORTS ON)
add_dependencies(dew_point_bench Calorix varbank2)
