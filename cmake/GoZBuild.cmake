# Shared build settings for every target of the project.

# Warnings are errors on both compilers.
function(goz_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                             -Wsign-conversion -Wold-style-cast -Werror)
endfunction()

# Sandbox copies of programs go to sandbox/bin, under their real names.
function(goz_sandbox_output target)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/sandbox/bin)
endfunction()
