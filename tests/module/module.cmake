calorix_add_test(module_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/module_test.cpp LIBS calorix_test_support)
add_dependencies(module_tests Calorix varbank2)
