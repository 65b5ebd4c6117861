# The user manual, made from docs/manual/ at build time, put beside the built client and installed
# with it. Sets NORV_WITH_MANUAL when it is made.

set(NORV_WITH_MANUAL OFF)
if(NOT NORV_BUILD_MANUAL)
    return()
endif()
find_program(NORV_WEASYPRINT weasyprint)
if(NOT NORV_WEASYPRINT)
    if(NORV_BUILD_MANUAL STREQUAL "AUTO")
        message(WARNING "weasyprint not found: the user manual ${NORV_MANUAL} is skipped (Debian package weasyprint)")
        return()
    endif()
    message(FATAL_ERROR "The user manual is made with weasyprint; install the Debian package weasyprint.")
endif()
set(NORV_WITH_MANUAL ON)

set(manualSource ${PROJECT_SOURCE_DIR}/docs/manual)
set(manualHtml ${packagingBinary}/manual.html)
set(manualFile ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/${NORV_MANUAL})
configure_file(${manualSource}/manual.html.in ${manualHtml} @ONLY)
file(GLOB manualScreenshots CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/screenshots/*.png)
add_custom_command(
    OUTPUT ${manualFile}
    # Relative links in the page (style sheet, screenshots) resolve from its source folder.
    COMMAND ${NORV_WEASYPRINT} --quiet --base-url ${manualSource}/ ${manualHtml} ${manualFile}
    DEPENDS ${manualHtml} ${manualSource}/manual.css ${manualScreenshots}
    COMMENT "Making the user manual ${NORV_MANUAL}"
    VERBATIM)
add_custom_target(user-manual ALL DEPENDS ${manualFile})
install(FILES ${manualFile} DESTINATION ${NORV_INSTALL_APPDIR} COMPONENT ${NORV_INSTALL_COMPONENT})
