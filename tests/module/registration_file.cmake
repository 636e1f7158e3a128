# Registration and the POSIX registry file: reads, writes and permissions.
calorix_add_test(registration_file_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/registration_file_test.cpp
                 LIBS calorix_test_support)
add_dependencies(registration_file_tests Calorix varbank2)
