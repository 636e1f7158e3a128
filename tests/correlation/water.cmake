# The dew points and the water content, driven through the built module with the fake host.
calorix_add_test(water_correlation_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/water_dew_point_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/water_content_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/water_fault_sweep_test.cpp
    LIBS calorix_test_support)
if(TARGET water_correlation_tests)
    add_dependencies(water_correlation_tests Calorix varbank2)
endif()
