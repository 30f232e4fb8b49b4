# Packs the Windows build as Quiltara's installer ships it and unpacks it into
# the GoZ public folder of the Wine prefix, in place of what a run left there.
execute_process(COMMAND ${CPACK} -G ZIP -B ${BUILD}/package --config ${BUILD}/CPackConfig.cmake
                RESULT_VARIABLE failed)
set(zip ${BUILD}/package/${ZIP})
if(failed OR NOT EXISTS ${zip})
    message(FATAL_ERROR "cpack made no ${ZIP}")
endif()
set(public ${WINEPREFIX}/drive_c/users/Public/Pixologic)
file(REMOVE_RECURSE ${public}/GoZApps/Quiltara)
file(ARCHIVE_EXTRACT INPUT ${zip} DESTINATION ${public})
