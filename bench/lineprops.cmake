# The GERG-2008 and DETAIL engines: density solve and properties for a pipeline gas. With
# CALORIX_NIST_AGA8_DIR naming a local copy of NIST's public AGA8 C++ code (the folder holding
# GERG2008.cpp and Detail.cpp; scripts/bench_line_conditions.sh sets it), the same program also
# runs that code on the same cases, for a comparison in one run.
set(CALORIX_NIST_AGA8_DIR "" CACHE PATH "Local copy of NIST's AGA8 C++ code, for the side-by-side benchmark only")
add_executable(line_conditions_bench ${CMAKE_CURRENT_LIST_DIR}/line_conditions_bench.cpp)
target_link_libraries(line_conditions_bench PRIVATE calorix_lineprops_engine benchmark::benchmark_main)
if(CALORIX_NIST_AGA8_DIR)
    target_sources(line_conditions_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/nist_aga8_bench.cpp
                   ${CALORIX_NIST_AGA8_DIR}/GERG2008.cpp ${CALORIX_NIST_AGA8_DIR}/Detail.cpp)
    target_include_directories(line_conditions_bench PRIVATE ${CALORIX_NIST_AGA8_DIR})
    set_source_files_properties(${CALORIX_NIST_AGA8_DIR}/GERG2008.cpp ${CALORIX_NIST_AGA8_DIR}/Detail.cpp
                                PROPERTIES COMPILE_OPTIONS "-w")
endif()
