calorix_add_test(dataserver_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/dataserver_test.cpp LIBS calorix_framework)
add_dependencies(dataserver_tests varbank2)
