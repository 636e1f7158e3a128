calorix_add_test(iso6976_correlation_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/iso6976_correlation_test.cpp
                 LIBS calorix_test_support)
add_dependencies(iso6976_correlation_tests Calorix varbank2)
calorix_add_test(iso6976_2016_correlation_tests
                 SOURCES ${CMAKE_CURRENT_LIST_DIR}/iso6976_2016_correlation_test.cpp LIBS calorix_test_support)
add_dependencies(iso6976_2016_correlation_tests Calorix varbank2)
