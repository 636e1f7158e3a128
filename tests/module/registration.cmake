calorix_add_test(registration_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/registration_test.cpp LIBS calorix_test_support)
add_dependencies(registration_tests Calorix varbank2)
# The registry file of the POSIX backend, watched through inotify.
if(NOT WIN32)
    calorix_add_test(registration_file_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/registration_file_test.cpp
                     LIBS calorix_test_support)
    add_dependencies(registration_file_tests Calorix varbank2)
endif()
