# Concurrent first requests for class objects; a program of its own so that the
# thread-sanitizer build can run just this one.
find_package(Threads REQUIRED)
calorix_add_test(class_object_race_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/class_object_race_test.cpp
    LIBS calorix_test_support Threads::Threads)
add_dependencies(class_object_race_test Calorix varbank2)
