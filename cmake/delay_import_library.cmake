cmake_minimum_required(VERSION 3.20)
# Makes OUTPUT, a delay-import library for DLL with every function that the
# toolchain's import library IMPORTS names, and with the members of IMPORTS
# that are no imports but data of their own (ws2_32's in6addr_any).
execute_process(COMMAND ${NM} -g --defined-only ${IMPORTS} OUTPUT_VARIABLE symbols
                COMMAND_ERROR_IS_FATAL ANY)
# Functions show as "T name" beside "I __imp_name"; data cannot be delay-loaded.
string(REGEX MATCHALL " T [^\n]+" functions "${symbols}")
list(TRANSFORM functions REPLACE "^ T " "")
list(JOIN functions "\n" exports)
get_filename_component(dir ${OUTPUT} DIRECTORY)
file(WRITE ${dir}/${DLL}.def "LIBRARY ${DLL}.dll\nEXPORTS\n${exports}\n")
# dlltool names its symbols after the library's path: a relative one keeps the
# build folder out of the programs.
get_filename_component(name ${OUTPUT} NAME)
file(REMOVE ${OUTPUT})
execute_process(COMMAND ${DLLTOOL} --input-def ${DLL}.def --dllname ${DLL}.dll
                        --output-delaylib ${name} WORKING_DIRECTORY ${dir} COMMAND_ERROR_IS_FATAL ANY)
# dlltool names an import library's own members <stem>h.o, <stem>t.o and <stem>s<n>.o.
execute_process(COMMAND ${AR} t ${IMPORTS} OUTPUT_VARIABLE members COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" members "${members}")
list(FILTER members EXCLUDE REGEX "^$|^[^-]+(h|t|s[0-9]+)\\.o$")
if(members)
    set(extra ${dir}/${DLL}.data)
    file(REMOVE_RECURSE ${extra})
    file(MAKE_DIRECTORY ${extra})
    execute_process(COMMAND ${AR} x ${IMPORTS} ${members} WORKING_DIRECTORY ${extra}
                    COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND ${AR} rs ${OUTPUT} ${members} WORKING_DIRECTORY ${extra}
                    COMMAND_ERROR_IS_FATAL ANY)
endif()
