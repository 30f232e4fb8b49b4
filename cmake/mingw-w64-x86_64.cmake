# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads flavour).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# The static Qt 5 for mingw that scripts/setup-qt-mingw.sh builds; it lies
# outside the find root, and its moc and rcc are host programs.
if(NOT GOZ_QT_MINGW_PREFIX)
    if(DEFINED ENV{GOZ_QT_MINGW_PREFIX})
        set(GOZ_QT_MINGW_PREFIX "$ENV{GOZ_QT_MINGW_PREFIX}")
    else()
        set(GOZ_QT_MINGW_PREFIX /opt/goz/qt-5.15.8-mingw-static)
    endif()
endif()
list(APPEND CMAKE_PREFIX_PATH ${GOZ_QT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)
