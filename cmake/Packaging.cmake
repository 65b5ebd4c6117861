# Installation in the conventional places and the Debian package. Only what is installed here
# ships: the demo portal, the screenshot tool, tests and benchmarks stay in the build folder.

include(GNUInstallDirs)

set(NORV_CLIENT norv-client)
set(NORV_DISPLAY_NAME "Norv Zivovireva")
set(NORV_SUMMARY "Desktop client for an enterprise file-transfer portal")
# The client opens its manual from its own folder under this fixed name. A PDF does not belong in
# /usr/bin, so both live in a folder of their own and /usr/bin holds a link to the client; the
# client's folder resolves to the real one.
set(NORV_MANUAL PavoClient.pdf)
set(NORV_INSTALL_APPDIR lib/${NORV_CLIENT})
set(NORV_HOMEPAGE "https://www.norv-zivovireva.example/")
set(NORV_REPOSITORY "https://github.com/norvzivovireva/client")
# The README's pictures, at their addresses in the repository, for software centres.
set(NORV_SCREENSHOTS "https://raw.githubusercontent.com/norvzivovireva/client/main/docs/screenshots")
set(NORV_INSTALL_COMPONENT client)

set(packagingSource ${PROJECT_SOURCE_DIR}/packaging)
set(packagingBinary ${PROJECT_BINARY_DIR}/packaging)
set(desktopFile ${packagingBinary}/${NORV_APP_ID}.desktop)
set(metainfoFile ${packagingBinary}/${NORV_APP_ID}.metainfo.xml)
configure_file(${packagingSource}/client.desktop.in ${desktopFile} @ONLY)
configure_file(${packagingSource}/client.metainfo.xml.in ${metainfoFile} @ONLY)

include(${CMAKE_CURRENT_LIST_DIR}/Manual.cmake)

install(TARGETS ${NORV_CLIENT} RUNTIME DESTINATION ${NORV_INSTALL_APPDIR} COMPONENT ${NORV_INSTALL_COMPONENT})
# The web engine's part of the client, which the client opens from its own folder. Not in
# the client's folder itself: cpack has the system's linker cache renewed for a library
# directly in a subfolder of /usr/lib, which such a module does not need.
install(TARGETS norvweb LIBRARY DESTINATION ${NORV_INSTALL_APPDIR}/modules COMPONENT ${NORV_INSTALL_COMPONENT})
file(CREATE_LINK ../${NORV_INSTALL_APPDIR}/${NORV_CLIENT} ${packagingBinary}/${NORV_CLIENT} SYMBOLIC)
install(FILES ${packagingBinary}/${NORV_CLIENT} DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${NORV_INSTALL_COMPONENT})

# What Debian asks of every package: the manual page, the copyright and the changelog, the
# compressed ones packed by gzip -9n so that the same sources give the same package.
configure_file(${packagingSource}/${NORV_CLIENT}.1.in ${packagingBinary}/${NORV_CLIENT}.1 @ONLY)
set(compressedDocs)
foreach(document ${packagingBinary}/${NORV_CLIENT}.1 ${packagingSource}/changelog)
    get_filename_component(name ${document} NAME)
    add_custom_command(OUTPUT ${packagingBinary}/${name}.gz
        COMMAND gzip -9n -c ${document} > ${packagingBinary}/${name}.gz
        DEPENDS ${document}
        VERBATIM)
    list(APPEND compressedDocs ${packagingBinary}/${name}.gz)
endforeach()
add_custom_target(package-documents ALL DEPENDS ${compressedDocs})
install(FILES ${packagingBinary}/${NORV_CLIENT}.1.gz
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${NORV_INSTALL_COMPONENT})
install(FILES ${packagingSource}/copyright ${packagingBinary}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${NORV_CLIENT} COMPONENT ${NORV_INSTALL_COMPONENT})
install(FILES ${desktopFile}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT ${NORV_INSTALL_COMPONENT})
install(FILES ${metainfoFile}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT ${NORV_INSTALL_COMPONENT})

# The 32 and 64 px icons are the client's own images; 128 px is rendered once (packaging/icons/render.sh).
set(imageDir ${PROJECT_SOURCE_DIR}/src/resources/image)
function(norv_install_icon file size)
    get_filename_component(extension ${file} LAST_EXT)
    install(FILES ${file} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}/apps
        RENAME ${NORV_APP_ID}${extension} COMPONENT ${NORV_INSTALL_COMPONENT})
endfunction()
norv_install_icon(${imageDir}/norv32.png 32x32)
norv_install_icon(${imageDir}/norv64.png 64x64)
norv_install_icon(${packagingSource}/icons/norv128.png 128x128)
norv_install_icon(${imageDir}/norv.svg scalable)

# The Debian package: the client component only, dependencies found by dpkg-shlibdeps (dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_INSTALL_CMAKE_PROJECTS "${PROJECT_BINARY_DIR};${PROJECT_NAME};${NORV_INSTALL_COMPONENT};/")
set(CPACK_PACKAGE_NAME ${NORV_CLIENT})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "${NORV_DISPLAY_NAME}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${NORV_SUMMARY}")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Hosts the portal of a server you choose in a window of its own, with a list\n"
    "of servers, dragging of local files and folders into the page, a tray icon,\n"
    "start with the system, an update check, Chinese and English, and a browser\n"
    "mode for when the portal is in use in an external browser.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Norv Zivovireva packaging <packaging@norv-zivovireva.example>")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libproxy runs PAC files and reads GNOME's proxy settings through plug-ins it loads itself.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libproxy1-plugin-webkit, libproxy1-plugin-gsettings")
# Chinese text needs a CJK font; links and the manual open through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
