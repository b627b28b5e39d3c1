# Where `cmake --install` and the Debian package put Quorvix on a Linux desktop: the two programs, the menu
# entry with its icons, the AppStream data, the MIME type of .ins files and the man page.
#
# One reverse-DNS id names the menu entry, its icon and the AppStream component, so that software centres and
# desktops can tie them together.

set(QUORVIX_APP_ID "org.quorvix.Quorvix")
set(QUORVIX_LINUX_DIR "${CMAKE_CURRENT_LIST_DIR}/../resources/linux")
set(QUORVIX_ICON_DIR "${CMAKE_CURRENT_LIST_DIR}/../resources/icons")
set(QUORVIX_ICON_SIZES 16 32 48 128 256)

install(TARGETS quorvix-convert RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${CMAKE_CURRENT_LIST_DIR}/../resources/man/quorvix-convert.1"
    DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
# Names .ins files in file managers whether or not the desktop program is installed.
install(FILES "${QUORVIX_LINUX_DIR}/${QUORVIX_APP_ID}.mime.xml"
    DESTINATION "${CMAKE_INSTALL_DATADIR}/mime/packages"
    RENAME "${QUORVIX_APP_ID}.xml")

# The menu entry, its icons and the AppStream data describe the desktop program, so they come only with it.
if(TARGET quorvix)
    install(TARGETS quorvix RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
    install(FILES "${QUORVIX_LINUX_DIR}/${QUORVIX_APP_ID}.desktop"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
    install(FILES "${QUORVIX_LINUX_DIR}/${QUORVIX_APP_ID}.metainfo.xml"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/metainfo")
    install(FILES "${QUORVIX_ICON_DIR}/quorvix.svg"
        DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps"
        RENAME "${QUORVIX_APP_ID}.svg")
    foreach(size IN LISTS QUORVIX_ICON_SIZES)
        install(FILES "${QUORVIX_ICON_DIR}/png/quorvix-${size}.png"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
            RENAME "${QUORVIX_APP_ID}.png")
    endforeach()
endif()

# Debian package: `cpack -G DEB` in the build folder (needs dpkg-dev and file for the dependency scan).
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "quorvix")
set(CPACK_PACKAGE_VENDOR "The Quorvix developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "converter between Cakewalk instrument definitions and Cubase patchname scripts")
set(CPACK_PACKAGE_HOMEPAGE_URL "${PROJECT_HOMEPAGE_URL}")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Quorvix developers <maintainers@quorvix.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION "sound")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
# The package depends on exactly the libraries its programs link (for the desktop program, the Qt 6 runtime),
# as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET quorvix)
    set(QUORVIX_PACKAGE_CONTENTS "The package holds the desktop program quorvix and the command-line
converter quorvix-convert.")
else()
    set(QUORVIX_PACKAGE_CONTENTS "The package holds the command-line converter quorvix-convert.")
endif()
# CPack puts the summary above this text.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quorvix moves the patch names of MIDI instruments between two sequencers.
It reads a Cakewalk instrument definition file (.ins) and writes the voices
of one instrument as a Cubase patchname script, grouped into drum kits, XG,
panel, GM2 and other voices; in the other direction it reads a Cubase
patchname script and writes a Cakewalk instrument definition.

${QUORVIX_PACKAGE_CONTENTS}")
include(CPack)
