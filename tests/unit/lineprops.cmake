calorix_add_test(line_conditions_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/line_conditions_test.cpp
    LIBS calorix_lineprops_engine)
