# Unpacks the zip that Quiltara's installer ships into the GoZ public folder
# of the Wine prefix, in place of what a run left there, checks every line of
# the SHA256SUMS beside it (the programs unpacked, the zip and BUILDINFO beside
# it) and what BUILDINFO tells a rebuilder, then reads what the loader reads of
# the shipped programs before any code of theirs runs.
get_filename_component(package ${ZIP} DIRECTORY)
if(NOT EXISTS ${ZIP} OR NOT EXISTS ${package}/SHA256SUMS OR NOT EXISTS ${package}/BUILDINFO)
    message(FATAL_ERROR "The build made no ${ZIP} with SHA256SUMS and BUILDINFO beside it")
endif()
set(public ${WINEPREFIX}/drive_c/users/Public/Pixologic)
file(REMOVE_RECURSE ${public}/GoZApps/Quiltara)
file(ARCHIVE_EXTRACT INPUT ${ZIP} DESTINATION ${public})
file(STRINGS ${package}/SHA256SUMS sums)
list(LENGTH sums count)
if(NOT count EQUAL 4)
    message(FATAL_ERROR "SHA256SUMS covers ${count} files, not the zip, BUILDINFO and the two programs")
endif()
foreach(line IN LISTS sums)
    string(REGEX REPLACE "^([0-9a-f]+)  (.+)$" "\\1;\\2" line "${line}")
    list(GET line 0 expected)
    list(GET line 1 name)
    if(NOT name MATCHES "/")
        file(SHA256 ${package}/${name} actual)
    else()
        file(SHA256 ${public}/${name} actual)
    endif()
    if(NOT actual STREQUAL expected)
        message(FATAL_ERROR "${name} does not match its line in SHA256SUMS")
    endif()
endforeach()
# The commit, its time, the toolchain's and Qt's Debian versions, and the
# same sums as SHA256SUMS.
file(READ ${package}/BUILDINFO info)
foreach(field IN ITEMS "\nCommit: [0-9a-f]+\n" "\nQt-Source: qtbase-opensource-src \\(= [^)]+\\)\n"
                       "\nQt-Prefix: /" "\n binutils-mingw-w64-x86-64 \\(= [^)]+\\)"
                       "\n g\\+\\+-mingw-w64-x86-64-posix \\(= [^)]+\\)"
                       "\n mingw-w64-x86-64-dev \\(= [^)]+\\)" "\n SOURCE_DATE_EPOCH=\"[0-9]+\"\n")
    if(NOT info MATCHES "${field}")
        message(FATAL_ERROR "BUILDINFO lacks ${field}:\n${info}")
    endif()
endforeach()
foreach(line IN LISTS sums)
    string(REGEX REPLACE "^([0-9a-f]+)  (.+)$" "\\1 [0-9]+ \\2\n" line "${line}")
    if(NOT line MATCHES "BUILDINFO" AND NOT info MATCHES "${line}")
        message(FATAL_ERROR "BUILDINFO's sums are not SHA256SUMS' (${line}):\n${info}")
    endif()
endforeach()
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
