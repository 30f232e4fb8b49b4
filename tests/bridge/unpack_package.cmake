# Packs the Windows build as Quiltara's installer ships it and unpacks it into
# the GoZ public folder of the Wine prefix, in place of what a run left there,
# then reads what the loader reads of the shipped programs before any code of
# theirs runs.
execute_process(COMMAND ${CPACK} -G ZIP -B ${BUILD}/package --config ${BUILD}/CPackConfig.cmake
                RESULT_VARIABLE failed)
set(zip ${BUILD}/package/${ZIP})
if(failed OR NOT EXISTS ${zip})
    message(FATAL_ERROR "cpack made no ${ZIP}")
endif()
set(public ${WINEPREFIX}/drive_c/users/Public/Pixologic)
file(REMOVE_RECURSE ${public}/GoZApps/Quiltara)
file(ARCHIVE_EXTRACT INPUT ${zip} DESTINATION ${public})
# Exactly kernel32 and msvcrt imported (Wine's advapi32 forwards nothing, so
# no run under Wine shows what a forwarder of another DLL would load), none of
# it SetDefaultDllDirectories (a Windows 7 without KB2533623 lacks it, which
# Wine does not), Windows 6.1 or later, terminal-server aware.
foreach(program IN ITEMS GoZBrushToQuiltara GoZInitQuiltara)
    set(PROGRAM ${public}/GoZApps/Quiltara/${program}.exe)
    set(ALLOWED kernel32 msvcrt)
    include(${CHECK_IMPORTS})
    list(LENGTH names count)
    string(REGEX MATCH "MajorSubsystemVersion\t([0-9]+)\nMinorSubsystemVersion\t([0-9]+)" _
           "${dump}")
    set(version ${CMAKE_MATCH_1}.${CMAKE_MATCH_2})
    string(REGEX MATCH "DllCharacteristics\t([0-9a-fA-F]+)" _ "${dump}")
    math(EXPR aware "0x${CMAKE_MATCH_1} & 0x8000")
    if(NOT count EQUAL 2 OR version VERSION_LESS 6.1 OR NOT aware)
        message(FATAL_ERROR "${program}: ${count} DLLs imported (${names}), subsystem version "
                            "${version}, terminal-server aware: ${aware}")
    endif()
endforeach()
