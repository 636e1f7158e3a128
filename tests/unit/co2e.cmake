calorix_add_test(gwp_tables_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/gwp_tables_test.cpp
    LIBS calorix_co2e_engine)
calorix_add_test(property_calculator_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/property_calculator_test.cpp
    LIBS calorix_co2e_engine)
# The AR5 and AR6 tables against the AR4 keys and the reports' printed figures.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
    add_test(NAME GwpTables.Ar5AndAr6AgreeWithThePrintedFigures
             COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/check_gwp_tables.py)
endif()
