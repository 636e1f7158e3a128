calorix_add_test(calorific_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/iso6976_table_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/wobbe_calcs_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/iso6976_2016_table_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/iso6976_random_bits_test.cpp
    LIBS calorix_calorific_engine)
# The ISO 6976:2016 table against the atomic weights of its own Table A.2.
find_package(Python3 COMPONENTS Interpreter)
if(Python3_Interpreter_FOUND)
    add_test(NAME Iso6976Table2016.AgreesWithTheAtomicWeights
             COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/check_iso6976_2016_table.py)
endif()
