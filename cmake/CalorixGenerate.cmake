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

# Reads resources/catalogue.csv (in object-map order; lines starting with # are comments) into
# CALORIX_CATALOGUE_WORDS, CALORIX_SCRIPT_ID_<word> and CALORIX_FACTS_<word> (the class's facts
# as the initialiser of a ClassFacts, framework/class_facts.h).
function(calorix_read_catalogue)
    file(STRINGS ${CALORIX_CATALOGUE_CSV} rows)
    set(words)
    foreach(row IN LISTS rows)
        if(row MATCHES "^#" OR row STREQUAL "")
            continue()
        endif()
        # Two matches: a CMake expression keeps at most nine groups.
        if(NOT row MATCHES "^([A-Za-z0-9]+),([0-9]+),(iso6976|water|co2e|line),(1995|2016|),([a-z0-9 ]*),(.+)$")
            message(FATAL_ERROR "catalogue.csv: malformed row '${row}'")
        endif()
        set(word ${CMAKE_MATCH_1})
        set(script ${CMAKE_MATCH_2})
        set(head "\"${word}\", ${script}, \"${CMAKE_MATCH_3}\", ")
        set(edition "${CMAKE_MATCH_4}")
        if("${edition}" STREQUAL "")
            set(edition 0)
        endif()
        string(APPEND head "${edition}, \"${CMAKE_MATCH_5}\"")
        if(NOT CMAKE_MATCH_6 MATCHES "^([^,]+),([^,]+),([0-9]+),([A-Za-z0-9 ]*),(.+)$")
            message(FATAL_ERROR "catalogue.csv: malformed row '${row}'")
        endif()
        if(word IN_LIST words)
            message(FATAL_ERROR "catalogue.csv: the class ${word} twice")
        endif()
        set(tail "\"${CMAKE_MATCH_1}\", \"${CMAKE_MATCH_2}\", ${CMAKE_MATCH_3}, \"${CMAKE_MATCH_4}\"")
        set(display "${CMAKE_MATCH_5}")
        if(display MATCHES "^\"(.*)\"$")
            set(display "${CMAKE_MATCH_1}")
        endif()
        if(display MATCHES "[\"\\]")
            message(FATAL_ERROR "catalogue.csv: a quote or backslash in the display name of ${word}")
        endif()
        list(APPEND words ${word})
        set(CALORIX_SCRIPT_ID_${word} ${script} PARENT_SCOPE)
        set(CALORIX_FACTS_${word}
            "${head}, ${tail}, \"${display}\""
            PARENT_SCOPE)
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
# object-map order, and every class's facts as a constexpr table kClassFacts in the same order.
function(calorix_generate_catalogue_header)
    set(out "// Generated from resources/catalogue.csv. Do not edit.\n#pragma once\n\n#include \"framework/class_facts.h\"\n\n#define CALORIX_CATALOGUE(X)")
    foreach(word IN LISTS CALORIX_CATALOGUE_WORDS)
        string(APPEND out " \\\n    X(${word}, ${CALORIX_SCRIPT_ID_${word}})")
    endforeach()
    list(LENGTH CALORIX_CATALOGUE_WORDS count)
    string(APPEND out "\n\ninline constexpr int kCatalogueSize = ${count};\n\ninline constexpr ClassFacts kClassFacts[] = {\n")
    foreach(word IN LISTS CALORIX_CATALOGUE_WORDS)
        string(APPEND out "    {${CALORIX_FACTS_${word}}},\n")
    endforeach()
    string(APPEND out "};\n")
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
    if(WIN32)
        # Real resources, compiled by the resource compiler.
        set(rc "// Generated by calorix_add_resources. Do not edit.\n")
        set(i 0)
        while(i LESS n)
            math(EXPR j "${i} + 1")
            math(EXPR k "${i} + 2")
            list(GET args ${i} type)
            list(GET args ${j} id)
            list(GET args ${k} path)
            string(APPEND rc "${id} ${type} \"${path}\"\n")
            math(EXPR i "${i} + 3")
        endwhile()
        file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc CONTENT "${rc}" @ONLY)
        target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc)
        return()
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

# generated/idl/calorix.idl: the type library CALORIXLib, a class and its dual interface for each
# class of the catalogue. The types come in catalogue order, except those named in
# CALORIX_TYPELIB_LAST (the standard density), which come last.
set(CALORIX_TYPELIB_LAST Density)
function(calorix_generate_idl)
    set(words ${CALORIX_CATALOGUE_WORDS})
    foreach(word IN LISTS CALORIX_TYPELIB_LAST)
        if(word IN_LIST words)
            list(REMOVE_ITEM words ${word})
            list(APPEND words ${word})
        endif()
    endforeach()
    string(REGEX REPLACE "[{}]" "" libid "${CALORIX_GUID_LIBID_CALORIXLib}")
    set(body "")
    foreach(word IN LISTS words)
        string(REGEX REPLACE "[{}]" "" clsid "${CALORIX_GUID_CLSID_${word}}")
        string(REGEX REPLACE "[{}]" "" iid "${CALORIX_GUID_IID_I${word}}")
        if(NOT clsid OR NOT iid)
            message(FATAL_ERROR "guids.csv: no CLSID_${word} or IID_I${word}")
        endif()
        string(APPEND body "
    [uuid(${clsid}), helpstring(\"${word} Class\")]
    coclass ${word}
    {
        [default] interface I${word};
    };

    [object, uuid(${iid}), dual, oleautomation, helpstring(\"I${word} Interface\")]
    interface I${word} : IDispatch
    {
    };
")
    endforeach()
    file(CONFIGURE OUTPUT ${CALORIX_GENERATED_DIR}/idl/calorix.idl CONTENT
"// Generated from resources/guids.csv and resources/catalogue.csv. Do not edit.
import \"oaidl.idl\";

[uuid(${libid}), version(1.0), helpstring(\"Calorix 1.0 Type Library\")]
library CALORIXLib
{
    importlib(\"stdole2.tlb\");
${body}};
" @ONLY)
endfunction()

calorix_generate_idl()

# calorix_add_type_library(<target> <idl> <tlb>): compiles an IDL file into a type library
# with widl, for 64-bit Windows.
function(calorix_add_type_library target idl tlb)
    find_program(CALORIX_WIDL NAMES x86_64-w64-mingw32-widl widl REQUIRED)
    add_custom_command(OUTPUT ${tlb}
        COMMAND ${CALORIX_WIDL} -m64 --win64 -t -I /usr/include/wine/wine/windows
                -L /usr/lib/x86_64-linux-gnu/wine/x86_64-windows -o ${tlb} ${idl}
        # widl stamps the time of its run into the library twice, as the text "Created by WIDL
        # ... at <date>" and, right after it, as a 32-bit count of seconds; with
        # SOURCE_DATE_EPOCH set (a release), both are written from it instead, in the same
        # bytes, so that two builds of one commit give the same library.
        COMMAND perl -0777 -pi -e "s/(Created by WIDL version \\S+ at ).{24}(\\nW*\\x13\\x00).{4}/\$1 . gmtime(\$ENV{SOURCE_DATE_EPOCH}) . \$2 . pack(q(V), \$ENV{SOURCE_DATE_EPOCH})/se if defined \$ENV{SOURCE_DATE_EPOCH}" ${tlb}
        DEPENDS ${idl}
        COMMENT "Type library ${tlb}"
        VERBATIM)
    add_custom_target(${target} DEPENDS ${tlb})
endfunction()

# generated/idl/corrman.idl: the host's type library CORRMANLib, from the GUIDs named in
# CALORIX_CORRMAN_GUID_NAMES (the library's id first).
set(CALORIX_CORRMAN_GUID_NAMES LIBID_CORRMANLib IID_ICorrelation IID_IFluidSource IID_IFluidState IID_IComponentData
    IID_IFlashCalculator)
foreach(name IN LISTS CALORIX_CORRMAN_GUID_NAMES)
    if(NOT CALORIX_GUID_${name})
        message(FATAL_ERROR "guids.csv: no ${name}")
    endif()
    string(REGEX REPLACE "[{}]" "" ${name} "${CALORIX_GUID_${name}}")
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/resources/corrman.idl.in ${CALORIX_GENERATED_DIR}/idl/corrman.idl @ONLY)
