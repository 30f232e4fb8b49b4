# Shared build settings for every target of the project.
include(${CMAKE_CURRENT_LIST_DIR}/GoZWindowsResources.cmake)

if(WIN32)
    # All code of the project, the programs' support library and peer
    # included, with a stack protector, whose runtime -static links in.
    add_compile_options(-fstack-protector-strong)
    add_link_options(-fstack-protector-strong)
endif()

# Warnings are errors on both compilers.
function(goz_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                             -Wsign-conversion -Wold-style-cast -Werror)
endfunction()

# `path` as a C string literal in `out`, as the programs name it: under Wine
# the build tree is on drive Z:.
function(goz_path_literal out path)
    if(WIN32 AND path MATCHES "^/")
        string(REPLACE "/" "\\\\" path "Z:${path}")
    endif()
    set(${out} "\"${path}\"" PARENT_SCOPE)
endfunction()

# Sandbox copies of programs go to sandbox/bin, under their real names.
function(goz_sandbox_output target)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/sandbox/bin)
endfunction()

# A program built twice: `target` against the configured GoZ public folder and
# `target`_sandbox, under the same file name in sandbox/bin, against the
# sandbox folder that tests and the demonstration use. DESCRIPTION says what
# it does, for its Windows version resource.
function(goz_program target)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "" "DESCRIPTION" "SOURCES;LIBRARIES")
    foreach(variant IN ITEMS "" "_sandbox")
        set(name ${target}${variant})
        add_executable(${name} ${ARG_SOURCES})
        target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
        target_link_libraries(${name} PRIVATE gozsupport${variant} ${ARG_LIBRARIES})
        set_target_properties(${name} PROPERTIES OUTPUT_NAME ${target})
        goz_warnings(${name})
        if(WIN32)
            # Windows 7 (6.1) is the oldest that runs them: an older one
            # refuses them cleanly. Terminal-server aware: a Remote Desktop
            # server runs them without its compatibility layer.
            target_link_options(${name} PRIVATE
                -Wl,--major-subsystem-version,6,--minor-subsystem-version,1,--tsaware)
        endif()
    endforeach()
    goz_sandbox_output(${target}_sandbox)
    goz_windows_resources(${target} "${ARG_DESCRIPTION}")
endfunction()
