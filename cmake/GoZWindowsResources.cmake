# Windows resources of the programs: a version resource from the project
# version, which Explorer shows and an MSI installer compares on upgrade, and
# the embedded manifest.
if(WIN32)
    enable_language(RC)
endif()

# Adds the resources of program `target` to it and to its sandbox copy, with
# `description` as the file description.
function(goz_windows_resources target description)
    if(NOT WIN32)
        return()
    endif()
    set(GOZ_RC_NAME ${target})
    set(GOZ_RC_DESCRIPTION "${description}")
    set(GOZ_RC_MANIFEST ${PROJECT_SOURCE_DIR}/cmake/program.manifest)
    # -v prints three parts; the fourth, the build number, stays 0.
    set(GOZ_RC_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0)
    string(REPLACE "." "," GOZ_RC_VERSION_COMMAS ${GOZ_RC_VERSION})
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/program.rc.in ${rc} @ONLY)
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${GOZ_RC_MANIFEST})
    # An object library of its own: the programs' C++ warning flags mean nothing to windres.
    add_library(${target}_resources OBJECT ${rc})
    set_target_properties(${target}_resources PROPERTIES AUTOMOC OFF)
    target_link_libraries(${target} PRIVATE ${target}_resources)
    target_link_libraries(${target}_sandbox PRIVATE ${target}_resources)
endfunction()
