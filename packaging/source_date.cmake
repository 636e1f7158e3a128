# Dates every file of a staged install by SOURCE_DATE_EPOCH, when it is set, so that archives
# and the installer made from it do not depend on when the files were built or checked out.
# Run by CPack before it packs (CPACK_TEMPORARY_INSTALL_DIRECTORY), or with -DDIR=folder.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
    return()
endif()
if(NOT DIR)
    set(DIR ${CPACK_TEMPORARY_INSTALL_DIRECTORY})
endif()
file(GLOB_RECURSE entries LIST_DIRECTORIES true ${DIR}/*)
foreach(entry IN LISTS entries ITEMS ${DIR})
    execute_process(COMMAND touch -h -d @$ENV{SOURCE_DATE_EPOCH} ${entry} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
