calorix_add_test(gwp_tables_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/gwp_tables_test.cpp
    LIBS calorix_co2e_engine)
calorix_add_test(property_calculator_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/property_calculator_test.cpp
    LIBS calorix_co2e_engine)
