# Makes the Windows installer from a staged install (the target calorix_installer, and the
# installer test for its broken variants):
#   cmake -DSTAGE=<staged install> -DOUTFILE=<setup.exe> -DSCRIPT=<calorix.nsi> -DWORK=<folder>
#         -DMAKENSIS=<makensis> -DWINE=<wine64> -DWINE_PREFIX=<folder> [-DUNINSTALLER=<uninstall.exe>]
#         [-DQUICK=ON] -P make_installer.cmake
# QUICK compresses with zlib instead of LZMA: faster to make, for installers made only to test.
# 1. Dates the staged files by SOURCE_DATE_EPOCH, when it is set.
# 2. Writes WORK/files.nsh: the macros that put every staged file into the installed folder
#    and delete it again, so that whatever the install rules stage the installer carries and the
#    uninstaller removes.
# 3. Makes WORK/uninstall.exe, unless UNINSTALLER names one already made: makensis builds from the
#    same script a program that only writes the uninstaller, run under Wine. An uninstaller that
#    the installer wrote itself would carry the installer's version resource; this one carries
#    its own, which says that it is the uninstaller.
# 4. makensis: the installer, carrying the files and that uninstaller.
cmake_minimum_required(VERSION 3.25)
foreach(var STAGE OUTFILE SCRIPT WORK MAKENSIS)
    if(NOT ${var})
        message(FATAL_ERROR "make_installer.cmake: -D${var}=... is missing")
    endif()
endforeach()

set(DIR ${STAGE})
include(${CMAKE_CURRENT_LIST_DIR}/source_date.cmake)

file(MAKE_DIRECTORY ${WORK})
file(GLOB_RECURSE staged RELATIVE ${STAGE} ${STAGE}/*)
list(SORT staged)
if(NOT staged)
    message(FATAL_ERROR "make_installer.cmake: nothing staged in ${STAGE}")
endif()
set(put "")
set(delete "")
set(folders "")
foreach(file IN LISTS staged)
    string(REPLACE / \\ name ${file})
    get_filename_component(folder ${file} DIRECTORY)
    if(folder AND NOT folder IN_LIST folders)
        list(APPEND folders ${folder})
        string(REPLACE / \\ windows_folder ${folder})
        string(APPEND put "    CreateDirectory \"$INSTDIR\\${windows_folder}\"\n")
    endif()
    string(APPEND put "    File \"/oname=${name}\" \"\${STAGE}\\${name}\"\n")
    string(APPEND delete "    Delete \"\${folder}\\${name}\"\n")
endforeach()
# Folders deepest first, each removed only when it is empty.
list(SORT folders ORDER DESCENDING)
foreach(folder IN LISTS folders)
    string(REPLACE / \\ windows_folder ${folder})
    string(APPEND delete "    RMDir \"\${folder}\\${windows_folder}\"\n")
endforeach()
file(WRITE ${WORK}/files.nsh
"; The staged files (written by make_installer.cmake).
; Puts every file into $INSTDIR, which is the output path.
!macro CalorixFiles
${put}!macroend
; Deletes every file from the folder given, and its subfolders when they are empty.
!macro CalorixDeletes folder
${delete}!macroend
")

if(NOT UNINSTALLER)
    if(NOT WINE OR NOT WINE_PREFIX)
        message(FATAL_ERROR "make_installer.cmake: -DWINE and -DWINE_PREFIX make the uninstaller")
    endif()
    set(UNINSTALLER ${WORK}/uninstall.exe)
    file(REMOVE ${UNINSTALLER})
    execute_process(COMMAND ${MAKENSIS} -V2 -NOCD -DUNINSTALLER_MAKER -DFILES=${WORK}/files.nsh
                            -DSTAGE=${STAGE} -DOUTFILE=${WORK}/write-uninstaller.exe ${SCRIPT}
                    COMMAND_ERROR_IS_FATAL ANY)
    # It writes uninstall.exe beside itself. A time limit: a Wine that hangs fails the build.
    execute_process(COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${WINE_PREFIX} WINEDEBUG=-all
                            "WINEDLLOVERRIDES=winedbg.exe=d;mscoree=;mshtml="
                            timeout -k 10 300 ${WINE} ${WORK}/write-uninstaller.exe
                    RESULT_VARIABLE status)
    if(NOT status EQUAL 0 OR NOT EXISTS ${UNINSTALLER})
        message(FATAL_ERROR "make_installer.cmake: the uninstaller was not written (status ${status})")
    endif()
    if(DEFINED ENV{SOURCE_DATE_EPOCH})
        execute_process(COMMAND touch -d @$ENV{SOURCE_DATE_EPOCH} ${UNINSTALLER} COMMAND_ERROR_IS_FATAL ANY)
    endif()
endif()

set(flags "")
if(QUICK)
    set(flags "-XSetCompressor /FINAL zlib")
endif()
execute_process(COMMAND ${MAKENSIS} -V2 -NOCD ${flags} -DFILES=${WORK}/files.nsh -DSTAGE=${STAGE}
                        -DUNINSTALLER=${UNINSTALLER} -DOUTFILE=${OUTFILE} ${SCRIPT}
                COMMAND_ERROR_IS_FATAL ANY)
