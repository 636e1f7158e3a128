# The CO2-equivalent classes through the built module, with the real data server.
set(co2e_tests co2e_correlation_tests co2e_unload_tests co2e_threads_test)
calorix_add_test(co2e_correlation_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/co2e_correlation_test.cpp
    LIBS calorix_test_support)
# The end of the module's life, in child processes.
calorix_add_test(co2e_unload_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/co2e_unload_test.cpp
    LIBS calorix_test_support)
# Two threads calculating at once; a program of its own so that the thread-sanitizer build
# can run just this one.
find_package(Threads REQUIRED)
calorix_add_test(co2e_threads_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/co2e_threads_test.cpp
    LIBS calorix_test_support Threads::Threads)
foreach(t IN LISTS co2e_tests)
    if(TARGET ${t})
        add_dependencies(${t} Calorix varbank2)
    endif()
endforeach()
