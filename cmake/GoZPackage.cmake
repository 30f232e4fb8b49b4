# What Quiltara's installer ships: the GoZ application folder, laid out below
# the GoZ public folder as ZBrush expects it, each program one static file.
set(GOZ_APP_FOLDER GoZApps/Quiltara)
set(GOZ_SHIPPED_PROGRAMS GoZInitQuiltara)
if(TARGET GoZBrushToQuiltara)
    list(APPEND GOZ_SHIPPED_PROGRAMS GoZBrushToQuiltara)
endif()
if(NOT WIN32)
    install(TARGETS ${GOZ_SHIPPED_PROGRAMS} RUNTIME DESTINATION ${GOZ_APP_FOLDER})
    return()
endif()

set(GOZ_SIGN_PKCS12 "" CACHE FILEPATH
    "Certificate and key (.pfx) that sign the shipped programs (Authenticode); empty: unsigned")
set(GOZ_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the password of GOZ_SIGN_PKCS12")
set(GOZ_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signatures (optional)")
if(GOZ_SIGN_PKCS12)
    find_program(GOZ_OSSLSIGNCODE osslsigncode REQUIRED)
    if(NOT EXISTS "${GOZ_SIGN_PKCS12}" OR NOT EXISTS "${GOZ_SIGN_PASSWORD_FILE}")
        message(FATAL_ERROR "Signing needs GOZ_SIGN_PKCS12 and GOZ_SIGN_PASSWORD_FILE to name files")
    endif()
    set(_timestamp)
    if(GOZ_SIGN_TIMESTAMP_URL)
        set(_timestamp -ts ${GOZ_SIGN_TIMESTAMP_URL})
    endif()
endif()

# What ships is a stripped copy of each program, signed once stripped, since
# stripping would break a signature. Strip would stamp the PE header with the
# time of day unless SOURCE_DATE_EPOCH names one: 0, as the linker left it.
set(GOZ_SHIPPED_DIR ${CMAKE_BINARY_DIR}/shipped)
set(_shipped_files)
set(_zip_entries)
foreach(program IN LISTS GOZ_SHIPPED_PROGRAMS)
    set(_out ${GOZ_SHIPPED_DIR}/${program}.exe)
    set(_stripped ${_out})
    set(_sign)
    if(GOZ_SIGN_PKCS12)
        set(_stripped ${GOZ_SHIPPED_DIR}/unsigned/${program}.exe)
        # -readpass: the password never shows on a command line.
        set(_sign COMMAND ${CMAKE_COMMAND} -E rm -f ${_out}
                 COMMAND ${GOZ_OSSLSIGNCODE} sign -pkcs12 ${GOZ_SIGN_PKCS12}
                         -readpass ${GOZ_SIGN_PASSWORD_FILE} -h sha256 -n "Quiltara GoZ bridge"
                         ${_timestamp} -in ${_stripped} -out ${_out})
    endif()
    get_filename_component(_dir ${_stripped} DIRECTORY)
    add_custom_command(OUTPUT ${_out}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${_dir}
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
                ${CMAKE_STRIP} --strip-all -o ${_stripped} $<TARGET_FILE:${program}>
        ${_sign}
        DEPENDS ${program} ${GOZ_SIGN_PKCS12} ${GOZ_SIGN_PASSWORD_FILE}
        COMMENT "Making the shipped ${program}.exe"
        VERBATIM)
    install(PROGRAMS ${_out} DESTINATION ${GOZ_APP_FOLDER})
    list(APPEND _shipped_files ${_out})
    list(APPEND _zip_entries ${GOZ_APP_FOLDER}/${program}.exe=${_out})
endforeach()
# A statically linked Qt must travel with its licence texts.
if(GOZ_WITH_QT AND EXISTS "${GOZ_QT_MINGW_PREFIX}/licenses")
    install(DIRECTORY "${GOZ_QT_MINGW_PREFIX}/licenses/" DESTINATION ${GOZ_APP_FOLDER}/licenses/Qt)
    list(APPEND _zip_entries ${GOZ_APP_FOLDER}/licenses/Qt=${GOZ_QT_MINGW_PREFIX}/licenses)
endif()

# The zip, with BUILDINFO and SHA256SUMS beside it. Made on every build, since
# its entries carry the commit's time and BUILDINFO the commit and the
# toolchain's versions, yet rewritten only when their bytes change.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(GOZ_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)
set(GOZ_ZIP_NAME ${PROJECT_NAME}-${PROJECT_VERSION}-win64.zip)
set(_qt_prefix -)
if(GOZ_WITH_QT)
    # Qt5_DIR is <prefix>/lib/cmake/Qt5.
    cmake_path(GET Qt5_DIR PARENT_PATH _qt_prefix)
    cmake_path(GET _qt_prefix PARENT_PATH _qt_prefix)
    cmake_path(GET _qt_prefix PARENT_PATH _qt_prefix)
endif()
add_custom_target(goz_zip ALL
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/make_zip.py ${PROJECT_SOURCE_DIR}
            ${PROJECT_NAME} ${PROJECT_VERSION} ${_qt_prefix} ${GOZ_PACKAGE_DIR}/${GOZ_ZIP_NAME}
            ${_zip_entries}
    DEPENDS ${_shipped_files}
    BYPRODUCTS ${GOZ_PACKAGE_DIR}/${GOZ_ZIP_NAME} ${GOZ_PACKAGE_DIR}/BUILDINFO
               ${GOZ_PACKAGE_DIR}/SHA256SUMS
    COMMENT "Packing ${GOZ_ZIP_NAME}"
    VERBATIM)
