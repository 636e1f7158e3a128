calorix_add_test(line_conditions_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/line_conditions_test.cpp ${CMAKE_CURRENT_LIST_DIR}/gerg2008_hydrogen_test.cpp
    LIBS calorix_lineprops_engine)
# The GERG-2008 and DETAIL tables: counts, order and sample values.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
    add_test(NAME LineTables.CountsOrderAndSampleValues
             COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/check_line_tables.py)
endif()
