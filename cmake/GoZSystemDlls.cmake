# The shipped programs lie in C:\Users\Public\Pixologic\GoZApps\Quiltara,
# where any user may create files, and Windows looks for a DLL in a program's
# own folder first unless it is one of the KnownDLLs. Even a KnownDLL may
# forward an export to one that is not (advapi32's SystemFunction036 to
# cryptbase on Windows 7 to 11), and the loader resolves the static imports,
# forwarders included, before any code of the program runs. So the programs
# import statically only kernel32 and msvcrt, whose forwarders lead to DLLs
# that are loaded before them; every other DLL is delay-loaded from System32
# (gozsupport/system32_dlls_win.cpp). Wine's advapi32 forwards nothing, so
# only this build check and the package test's look at the import table
# stand for that under Wine.
set(GOZ_STATIC_IMPORTS kernel32 msvcrt)
# What the static Qt, the support library and the compiler's default
# libraries import beyond them.
set(GOZ_DELAY_LOADED_DLLS advapi32 dnsapi iphlpapi mpr netapi32 ole32 shell32 user32 userenv
                          version winmm ws2_32)

# Delay-import libraries in delayimp/, made at configure time from the
# toolchain's import libraries. Qt's link interface names those by their
# paths: put the delay-import libraries in their place, so that other Qt
# programs of the project load these DLLs delayed too, by the usual search.
if(WIN32)
    foreach(dll IN LISTS GOZ_DELAY_LOADED_DLLS)
        find_library(GOZ_IMPORT_LIBRARY_${dll} ${dll} REQUIRED)
        set(lib ${CMAKE_BINARY_DIR}/delayimp/lib${dll}.a)
        if(NOT EXISTS ${lib} OR "${GOZ_IMPORT_LIBRARY_${dll}}" IS_NEWER_THAN ${lib}
           OR "${CMAKE_CURRENT_LIST_DIR}/delay_import_library.cmake" IS_NEWER_THAN ${lib})
            execute_process(
                COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DAR=${CMAKE_AR} -DDLLTOOL=${CMAKE_DLLTOOL}
                        -DDLL=${dll} -DIMPORTS=${GOZ_IMPORT_LIBRARY_${dll}} -DOUTPUT=${lib}
                        -P ${CMAKE_CURRENT_LIST_DIR}/delay_import_library.cmake
                COMMAND_ERROR_IS_FATAL ANY)
        endif()
        if(GOZ_WITH_QT)
            foreach(qt IN ITEMS Qt5::Core Qt5::Network)
                get_target_property(libs ${qt} INTERFACE_LINK_LIBRARIES)
                string(REGEX REPLACE "[^;<>:]*/lib${dll}(\\.dll)?\\.a" "${lib}" libs "${libs}")
                set_target_properties(${qt} PROPERTIES INTERFACE_LINK_LIBRARIES "${libs}")
            endforeach()
        endif()
    endforeach()
endif()

# The programs `targets` load DLLs from System32 only: every -l of theirs
# other than kernel32 and msvcrt finds its delay-import library first, and the
# build fails when one imports any other DLL without delay.
function(goz_system_dlls_only)
    if(NOT WIN32)
        return()
    endif()
    foreach(target IN LISTS ARGN)
        target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/gozsupport/system32_dlls_win.cpp)
        # GNU ld orders the import sections (.idata$*) by the names of the
        # files they come from: an absolute path would sort these libraries
        # before or after the toolchain's /usr/... ones depending on where the
        # build folder lies. A path relative to where the linker runs (Ninja:
        # the build folder) sorts the same everywhere.
        if(CMAKE_GENERATOR MATCHES "Ninja")
            set(linked_in ${CMAKE_BINARY_DIR})
        else()
            get_target_property(linked_in ${target} BINARY_DIR)
        endif()
        file(RELATIVE_PATH delayimp ${linked_in} ${CMAKE_BINARY_DIR}/delayimp)
        target_link_options(${target} BEFORE PRIVATE -L${delayimp})
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DPROGRAM=$<TARGET_FILE:${target}>
                    "-DALLOWED=${GOZ_STATIC_IMPORTS}" -P ${PROJECT_SOURCE_DIR}/cmake/check_imports.cmake
            VERBATIM)
    endforeach()
endfunction()
