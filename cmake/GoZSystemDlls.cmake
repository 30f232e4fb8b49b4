# The shipped programs lie in C:\Users\Public\Pixologic\GoZApps\Quiltara,
# where any user may create files, and Windows looks for a DLL in a program's
# own folder first unless it is one of the KnownDLLs, which always come from
# System32. So the programs import KnownDLLs only; every other DLL is
# delay-loaded, after gozsupport/system32_dlls_win.cpp has restricted the
# search to System32.

# KnownDLLs of every Windows from 7 to 11, and ntdll, which is always loaded first.
set(GOZ_KNOWN_DLLS advapi32 clbcatq comdlg32 gdi32 imagehlp imm32 kernel32 msctf msvcrt normaliz
                   nsi ntdll ole32 oleaut32 psapi rpcrt4 sechost setupapi shell32 shlwapi user32
                   wldap32 ws2_32)
# What the static Qt imports beyond them.
set(GOZ_DELAY_LOADED_DLLS netapi32 userenv version winmm)

# Qt's link interface names the toolchain's import libraries by their paths:
# put delay-import libraries in their place, made at configure time. Other Qt
# programs of the project load these DLLs delayed too, by the usual search.
if(WIN32 AND GOZ_WITH_QT)
    foreach(dll IN LISTS GOZ_DELAY_LOADED_DLLS)
        find_library(GOZ_IMPORT_LIBRARY_${dll} ${dll} REQUIRED)
        set(lib ${CMAKE_BINARY_DIR}/delayimp/lib${dll}.a)
        if(NOT EXISTS ${lib} OR "${GOZ_IMPORT_LIBRARY_${dll}}" IS_NEWER_THAN ${lib})
            execute_process(
                COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DDLLTOOL=${CMAKE_DLLTOOL} -DDLL=${dll}
                        -DIMPORTS=${GOZ_IMPORT_LIBRARY_${dll}} -DOUTPUT=${lib}
                        -P ${CMAKE_CURRENT_LIST_DIR}/delay_import_library.cmake
                COMMAND_ERROR_IS_FATAL ANY)
        endif()
        foreach(qt IN ITEMS Qt5::Core Qt5::Network)
            get_target_property(libs ${qt} INTERFACE_LINK_LIBRARIES)
            string(REGEX REPLACE "[^;<>]*/lib${dll}(\\.dll)?\\.a" "${lib}" libs "${libs}")
            set_target_properties(${qt} PROPERTIES INTERFACE_LINK_LIBRARIES "${libs}")
        endforeach()
    endforeach()
endif()

# The programs `targets` load DLLs from System32 only; the build fails when
# one imports a DLL that is not a KnownDLL without delay.
function(goz_system_dlls_only)
    if(NOT WIN32)
        return()
    endif()
    foreach(target IN LISTS ARGN)
        target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/gozsupport/system32_dlls_win.cpp)
        add_custom_command(TARGET ${target} POST_BUILD
            COMMAND ${CMAKE_COMMAND} -DOBJDUMP=${CMAKE_OBJDUMP} -DPROGRAM=$<TARGET_FILE:${target}>
                    "-DALLOWED=${GOZ_KNOWN_DLLS}" -P ${PROJECT_SOURCE_DIR}/cmake/check_imports.cmake
            VERBATIM)
    endforeach()
endfunction()
