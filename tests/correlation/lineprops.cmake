# The six line-condition classes through the built module, with the real data server.
calorix_add_test(line_conditions_correlation_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/line_conditions_correlation_test.cpp
    LIBS calorix_test_support calorix_lineprops_engine)
add_dependencies(line_conditions_correlation_tests Calorix varbank2)
