# The Windows build: header-only libraries of the build machine used as headers, GoogleTest
# built for the target from Debian's sources, and the Wine prefix the test programs run in.
enable_language(RC)

# Only the folders of the header-only libraries are seen from the host's /usr/include, so that
# the target's C library headers are never shadowed by the build machine's.
set(CALORIX_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
foreach(dir nlohmann CLI fmt libfccp eigen3/Eigen)
    get_filename_component(name ${dir} NAME)
    if(NOT EXISTS ${CALORIX_HOST_HEADERS}/${name})
        file(MAKE_DIRECTORY ${CALORIX_HOST_HEADERS})
        file(CREATE_LINK /usr/include/${dir} ${CALORIX_HOST_HEADERS}/${name} SYMBOLIC)
    endif()
endforeach()

# Seen by every target, as /usr/include is by the native build.
include_directories(SYSTEM ${CALORIX_HOST_HEADERS})

# find_package() answers for them from here, before any Find module or the sysroot.
set(redirects ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR})
function(calorix_header_package name target)
    string(TOLOWER ${name} lower)
    file(WRITE ${redirects}/${lower}-config.cmake
"if(NOT TARGET ${target})
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${CALORIX_HOST_HEADERS} ${ARGN})
endif()
")
endfunction()
calorix_header_package(nlohmann_json nlohmann_json::nlohmann_json)
calorix_header_package(CLI11 CLI11::CLI11)
calorix_header_package(fmt fmt::fmt INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY)
calorix_header_package(Eigen3 Eigen3::Eigen)
file(WRITE ${redirects}/gtest-config.cmake
"if(NOT TARGET GTest::gtest)
    set(INSTALL_GTEST OFF CACHE BOOL \"\" FORCE)
    set(BUILD_GMOCK OFF CACHE BOOL \"\" FORCE)
    add_subdirectory(/usr/src/googletest \${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()
")

# Tests run in a Wine prefix of their own inside the build folder, made once by the
# fixture "wine_prefix"; Wine's debugger, the Mono and Gecko installers and its messages stay
# off, and system strings are not cached (so that the allocator spy sees every free).
set(CALORIX_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine)
set(CALORIX_WINE_ENVIRONMENT
    "WINEPREFIX=${CALORIX_WINE_PREFIX}"
    "WINEDEBUG=-all"
    "WINEDLLOVERRIDES=winedbg.exe=d\\;mscoree=\\;mshtml="
    "OANOCACHE=1")
set(CALORIX_WINE ${CMAKE_CROSSCOMPILING_EMULATOR})
# The time limit in seconds of every test under Wine (tests/CMakeLists.txt).
set(CALORIX_WINE_TEST_TIMEOUT 600)

# The version as the string entries of every file's version resource write it, in the form of
# Calorix.dll's own ("38, 0, 0, 0"): the host, the data server, the installer and the
# uninstaller alike.
set(CALORIX_VERSION_STRING
    "${PROJECT_VERSION_MAJOR}, ${PROJECT_VERSION_MINOR}, ${PROJECT_VERSION_PATCH}, 0")
