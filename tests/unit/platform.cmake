calorix_add_test(platform_tests SOURCES ${CMAKE_CURRENT_LIST_DIR}/platform_test.cpp LIBS calorix_framework
                 POSIX_ONLY CodePage.*:Resources.*:SystemStrings.*:Xml.TextOfDeeplyNested*)
calorix_add_resources(platform_tests 23 201 ${CMAKE_CURRENT_LIST_DIR}/data/sample.xml
                                     REGISTRY 5 ${CMAKE_CURRENT_LIST_DIR}/data/sample.xml)
add_dependencies(platform_tests varbank2)
