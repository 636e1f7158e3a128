calorix_add_test(fake_host_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/fake_host_test.cpp LIBS calorix_test_support)
