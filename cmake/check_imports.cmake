cmake_minimum_required(VERSION 3.20)
# Fails when PROGRAM imports, other than delayed, a DLL outside ALLOWED, or
# imports SetDefaultDllDirectories, which a Windows 7 without KB2533623 lacks:
# its loader would refuse to start the program.
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE dump COMMAND_ERROR_IS_FATAL ANY)
# Only the import table proper, up to the next table: delay-loaded DLLs have
# their own, which this toolchain's linker leaves out of the directory anyway.
string(REGEX MATCH "\nThe Import Tables[^\n]*\n(.*)" imports "${dump}")
string(REGEX REPLACE "^(\nThe Import Tables[^\n]*\n)(.*)\nThe .*" "\\2" imports "${imports}")
string(REGEX MATCHALL "DLL Name: [^\n]+" names "${imports}")
set(outside)
foreach(name IN LISTS names)
    string(REGEX REPLACE "^DLL Name: (.+)\\.[Dd][Ll][Ll]$" "\\1" dll "${name}")
    string(TOLOWER "${dll}" dll)
    if(NOT dll IN_LIST ALLOWED)
        list(APPEND outside ${dll})
    endif()
endforeach()
if(NOT names)
    message(FATAL_ERROR "${PROGRAM}: no import table found")
elseif(outside)
    message(FATAL_ERROR "${PROGRAM} imports DLLs other than ${ALLOWED}: ${outside}. Delay-load "
                        "them: GOZ_DELAY_LOADED_DLLS in cmake/GoZSystemDlls.cmake")
elseif(imports MATCHES "[ \t]SetDefaultDllDirectories\n")
    message(FATAL_ERROR "${PROGRAM} imports SetDefaultDllDirectories: look it up at run time")
endif()
