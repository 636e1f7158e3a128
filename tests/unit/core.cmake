calorix_add_test(core_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/variable_definitions_test.cpp
                                    ${CMAKE_CURRENT_LIST_DIR}/attach_test.cpp
                 LIBS calorix_framework calorix_test_support)
calorix_add_resources(core_tests 23 201 ${PROJECT_SOURCE_DIR}/resources/variable_definitions.xml)
