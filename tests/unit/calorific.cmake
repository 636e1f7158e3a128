calorix_add_test(calorific_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/iso6976_table_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/wobbe_calcs_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/iso6976_2016_table_test.cpp
    LIBS calorix_calorific_engine)
