# What Quiltara's installer ships: the GoZ application folder, laid out below
# the GoZ public folder as ZBrush expects it, each program one static file.
set(GOZ_APP_FOLDER GoZApps/Quiltara)
install(TARGETS GoZInitQuiltara RUNTIME DESTINATION ${GOZ_APP_FOLDER})
if(TARGET GoZBrushToQuiltara)
    install(TARGETS GoZBrushToQuiltara RUNTIME DESTINATION ${GOZ_APP_FOLDER})
endif()
# A statically linked Qt must travel with its licence texts.
if(WIN32 AND GOZ_WITH_QT AND EXISTS "${GOZ_QT_MINGW_PREFIX}/licenses")
    install(DIRECTORY "${GOZ_QT_MINGW_PREFIX}/licenses/" DESTINATION ${GOZ_APP_FOLDER}/licenses/Qt)
endif()

set(CPACK_PACKAGE_NAME QuiltaraGoZ)
set(CPACK_PACKAGE_VENDOR Quiltara)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION}) # names the zip
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "GoZ bridge and installer for Quiltara")
set(CPACK_GENERATOR ZIP)
# The zip unpacks straight into the GoZ public folder.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_STRIP_FILES ON)
include(CPack)
