# Written against the POSIX registry file and processes; not built for Windows.
if(WIN32)
    return()
endif()
# The registry backend and the registrar.

calorix_add_test(registry_backend_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/registry_backend_test.cpp
    LIBS calorix_platform)

# The stress helper registers and unregisters one script many times; the registrar test starts
# two of them at once.
add_executable(registry_stress ${CMAKE_CURRENT_LIST_DIR}/registry_stress_main.cpp)
target_link_libraries(registry_stress PRIVATE calorix_registrar)
calorix_add_resources(registry_stress REGISTRY 130 ${CALORIX_GENERATED_DIR}/registry/CO2ESAR.rgs
                                      REGISTRY 131 ${CALORIX_GENERATED_DIR}/registry/CO2EAR4.rgs)

calorix_add_test(registrar_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/registrar_test.cpp
    LIBS calorix_registrar)
target_compile_definitions(registrar_tests PRIVATE
    CALORIX_REGISTRY_STRESS="$<TARGET_FILE:registry_stress>")
add_dependencies(registrar_tests registry_stress)
calorix_add_resources(registrar_tests REGISTRY 130 ${CALORIX_GENERATED_DIR}/registry/CO2ESAR.rgs
                                      REGISTRY 131 ${CALORIX_GENERATED_DIR}/registry/CO2EAR4.rgs)
