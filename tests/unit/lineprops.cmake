# The GERG-2008 and DETAIL engines; with the check values of every GERG-2008 binary pair that has
# parameters of its own (data/gerg2008_pairs.csv, made by scripts/gerg2008_pair_values.py),
# compiled in so that the Windows build under Wine reads no file.
set(pairs_csv_file ${CMAKE_CURRENT_LIST_DIR}/data/gerg2008_pairs.csv)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${pairs_csv_file})
file(READ ${pairs_csv_file} pairs_csv)
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/generated/gerg2008_pairs_csv.h
     CONTENT "// Generated from tests/unit/data/gerg2008_pairs.csv. Do not edit.\n#pragma once\ninline constexpr char kGergPairsCsv[] = R\"csv(@pairs_csv@)csv\";\n"
     @ONLY)
calorix_add_test(line_conditions_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/line_conditions_test.cpp ${CMAKE_CURRENT_LIST_DIR}/gerg2008_hydrogen_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/gerg2008_pairs_test.cpp
    LIBS calorix_lineprops_engine)
target_include_directories(line_conditions_tests PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/generated)
# The GERG-2008 and DETAIL tables: counts, order and sample values.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
    add_test(NAME LineTables.CountsOrderAndSampleValues
             COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/check_line_tables.py)
endif()
