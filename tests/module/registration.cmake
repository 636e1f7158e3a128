# Written against the POSIX registry file and processes; not built for Windows.
if(WIN32)
    return()
endif()
calorix_add_test(registration_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/registration_test.cpp LIBS calorix_test_support)
add_dependencies(registration_tests Calorix varbank2)
