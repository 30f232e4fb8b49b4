# The Windows programs come out byte for byte the same from the same commit,
# toolchain and Qt, whatever the build folder and the time, so that anyone can
# check a zip by building it again.
if(WIN32)
    # No build folder or clone path in __FILE__ or the debug info; the build
    # folder may lie inside the clone, and the last matching map wins.
    add_compile_options(
        "$<$<COMPILE_LANGUAGE:CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>"
        "$<$<COMPILE_LANGUAGE:CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>")
    # moc's output includes each header by its path below an include folder,
    # not by one relative to the build folder.
    set(CMAKE_AUTOMOC_PATH_PREFIX ON)
    # No link time in the PE header: its time stamp stays 0.
    add_link_options(-Wl,--no-insert-timestamp)
endif()
