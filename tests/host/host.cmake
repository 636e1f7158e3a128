# The reference host: the component list, the Peng-Robinson flash, the fluid objects, fluid
# files and output (host_tests); the calorix-host program run as a process (host_cli_tests).
calorix_add_test(host_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/components_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/flash_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/flash_certificate_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/feed_stability_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/near_critical_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/fluid_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/fluid_json_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/report_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/iso_edition_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/portable_math_test.cpp
    LIBS calorix_host calorix_test_support)

# The host's dew-point searches through the module, on both platforms.
calorix_add_test(host_dew_point_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/dew_point_search_test.cpp
    LIBS calorix_host calorix_test_support)
add_dependencies(host_dew_point_tests Calorix varbank2)
# The program tests start calorix-host with POSIX processes; under Wine the program is compared
# with the native one instead (tests/windows).
if(WIN32)
    return()
endif()
find_package(pugixml REQUIRED)
find_package(fmt REQUIRED)
calorix_add_test(host_cli_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/cli_test.cpp
            ${CMAKE_CURRENT_LIST_DIR}/catalogue_test.cpp
    LIBS calorix_host calorix_calorific calorix_test_support pugixml::pugixml fmt::fmt)
add_dependencies(host_cli_tests calorix-host)
target_compile_definitions(host_cli_tests PRIVATE
    CALORIX_HOST_PROGRAM="$<TARGET_FILE:calorix-host>"
    CALORIX_MODULE_PATH="${CMAKE_BINARY_DIR}/bin/Calorix.so"
    CALORIX_HOST_TEST_DATA="${CMAKE_CURRENT_LIST_DIR}/data"
    CALORIX_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
