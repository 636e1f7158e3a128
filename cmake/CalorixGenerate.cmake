# Code generated at configure time from the tables in resources/: the GUID declarations, the
# class catalogue, and module resources compiled in as byte arrays.

set(CALORIX_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(CALORIX_GUIDS_CSV ${PROJECT_SOURCE_DIR}/resources/guids.csv)
set(CALORIX_CATALOGUE_CSV ${PROJECT_SOURCE_DIR}/resources/catalogue.csv)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${CALORIX_GUIDS_CSV} ${CALORIX_CATALOGUE_CSV})

# Reads resources/guids.csv into CALORIX_GUID_NAMES and CALORIX_GUID_<name> (registry form).
function(calorix_read_guids)
    file(STRINGS ${CALORIX_GUIDS_CSV} rows)
    set(names)
    foreach(row IN LISTS rows)
        set(h "[0-9A-F]")
        set(h4 "${h}${h}${h}${h}")
        if(NOT row MATCHES "^([A-Za-z_0-9]+),({${h4}${h4}-${h4}-${h4}-${h4}-${h4}${h4}${h4}})$")
            message(FATAL_ERROR "guids.csv: malformed row '${row}'")
        endif()
        list(APPEND names ${CMAKE_MATCH_1})
        set(CALORIX_GUID_${CMAKE_MATCH_1} ${CMAKE_MATCH_2} PARENT_SCOPE)
    endforeach()
    set(CALORIX_GUID_NAMES ${names} PARENT_SCOPE)
endfunction()

# Reads resources/catalogue.csv (word,script id; in object-map order) into
# CALORIX_CATALOGUE_WORDS and CALORIX_SCRIPT_ID_<word>.
function(calorix_read_catalogue)
    file(STRINGS ${CALORIX_CATALOGUE_CSV} rows)
    set(words)
    foreach(row IN LISTS rows)
        if(NOT row MATCHES "^([A-Za-z0-9]+),([0-9]+)$")
            message(FATAL_ERROR "catalogue.csv: malformed row '${row}'")
        endif()
        list(APPEND words ${CMAKE_MATCH_1})
        set(CALORIX_SCRIPT_ID_${CMAKE_MATCH_1} ${CMAKE_MATCH_2} PARENT_SCOPE)
    endforeach()
    set(CALORIX_CATALOGUE_WORDS ${words} PARENT_SCOPE)
endfunction()

calorix_read_guids()
calorix_read_catalogue()

# generated/calorix/guids.h: one constexpr GUID per row.
function(calorix_generate_guid_header)
    set(out "// Generated from resources/guids.csv. Do not edit.\n#pragma once\n\n#include \"platform/com.h\"\n\n")
    foreach(name IN LISTS CALORIX_GUID_NAMES)
        set(g "${CALORIX_GUID_${name}}")
        string(SUBSTRING "${g}" 1 8 d1)
        string(SUBSTRING "${g}" 10 4 d2)
        string(SUBSTRING "${g}" 15 4 d3)
        set(bytes "")
        foreach(pos 20 22 25 27 29 31 33 35)
            string(SUBSTRING "${g}" ${pos} 2 b)
            list(APPEND bytes "0x${b}")
        endforeach()
        list(JOIN bytes ", " bytes)
        string(APPEND out "inline constexpr GUID ${name} = {0x${d1}, 0x${d2}, 0x${d3}, {${bytes}}};\n")
    endforeach()
    file(CONFIGURE OUTPUT ${CALORIX_GENERATED_DIR}/calorix/guids.h CONTENT "${out}" @ONLY)
endfunction()

# generated/calorix/catalogue.h: the class catalogue as an X-macro, X(word, scriptId), in
# object-map order.
function(calorix_generate_catalogue_header)
    set(out "// Generated from resources/catalogue.csv. Do not edit.\n#pragma once\n\n#define CALORIX_CATALOGUE(X)")
    foreach(word IN LISTS CALORIX_CATALOGUE_WORDS)
        string(APPEND out " \\\n    X(${word}, ${CALORIX_SCRIPT_ID_${word}})")
    endforeach()
    string(APPEND out "\n\ninline constexpr int kCatalogueSize = 0")
    foreach(word IN LISTS CALORIX_CATALOGUE_WORDS)
        string(APPEND out " + 1")
    endforeach()
    string(APPEND out ";\n")
    file(CONFIGURE OUTPUT ${CALORIX_GENERATED_DIR}/calorix/catalogue.h CONTENT "${out}" @ONLY)
endfunction()

calorix_generate_guid_header()
calorix_generate_catalogue_header()

# calorix_add_resources(<target> <type> <id> <file> [<type> <id> <file> ...])
# Compiles files into <target> as module resources found by (type, id). A numeric type is
# an integer resource type (23 for HTML); anything else is a named type ("REGISTRY").
function(calorix_add_resources target)
    set(args ${ARGN})
    list(LENGTH args n)
    math(EXPR rem "${n} % 3")
    if(NOT rem EQUAL 0)
        message(FATAL_ERROR "calorix_add_resources: expected triples of type, id, file")
    endif()
    set(body "")
    set(entries "")
    set(i 0)
    while(i LESS n)
        list(GET args ${i} type)
        math(EXPR j "${i} + 1")
        list(GET args ${j} id)
        math(EXPR j "${i} + 2")
        list(GET args ${j} path)
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${path})
        file(READ ${path} hex HEX)
        string(LENGTH "${hex}" hexlen)
        math(EXPR size "${hexlen} / 2")
        string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
        math(EXPR k "${i} / 3")
        string(APPEND body "alignas(8) const unsigned char kData${k}[] = {${bytes} 0};\n")
        if(type MATCHES "^[0-9]+$")
            string(APPEND entries "    platform::RegisterModuleResource(platform::ResourceType(${type}), ${id}, kData${k}, ${size});\n")
        else()
            string(APPEND entries "    platform::RegisterModuleResource(platform::ResourceType(\"${type}\"), ${id}, kData${k}, ${size});\n")
        endif()
        math(EXPR i "${i} + 3")
    endwhile()
    set(src ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
    file(CONFIGURE OUTPUT ${src} CONTENT
"// Generated by calorix_add_resources. Do not edit.
#include \"platform/resources.h\"

namespace {
${body}
[[maybe_unused]] const bool kRegistered = [] {
${entries}    return true;
}();
}  // namespace
" @ONLY)
    target_sources(${target} PRIVATE ${src})
endfunction()

# generated/registry/<word>.rgs: the registration script of each class of the catalogue, from
# resources/registry_script.rgs.in with the class word, its class id and the type library's id.
# Lines end in CR LF whatever the template's line ends; %MODULE% is left for the registrar.
function(calorix_generate_registry_scripts)
    set(template ${PROJECT_SOURCE_DIR}/resources/registry_script.rgs.in)
    set(LIBID "${CALORIX_GUID_LIBID_CALORIXLib}")
    if(NOT LIBID)
        message(FATAL_ERROR "guids.csv: no LIBID_CALORIXLib")
    endif()
    foreach(WORD IN LISTS CALORIX_CATALOGUE_WORDS)
        set(CLSID "${CALORIX_GUID_CLSID_${WORD}}")
        if(NOT CLSID)
            message(FATAL_ERROR "guids.csv: no CLSID_${WORD}")
        endif()
        configure_file(${template} ${CALORIX_GENERATED_DIR}/registry/${WORD}.rgs
                       @ONLY NEWLINE_STYLE CRLF)
    endforeach()
endfunction()

calorix_generate_registry_scripts()
