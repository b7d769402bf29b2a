# Installation and the Debian package. The programs keep the build's layout (program, skin and
# viewerconfig.cfg side by side) in lib/quillent; bin/ holds links to them. The desktop file
# registers the "qmv:" link scheme and the recording file type, whose definition goes to the
# shared MIME database; icons go to the hicolor theme.
include(GNUInstallDirs)
set(QUILLENT_INSTALL_DIR ${CMAKE_INSTALL_LIBDIR}/quillent)

install(TARGETS quillent quillent-tool quillent-tool-media RUNTIME DESTINATION ${QUILLENT_INSTALL_DIR})
install(FILES ${CMAKE_SOURCE_DIR}/viewerconfig.cfg DESTINATION ${QUILLENT_INSTALL_DIR})
# The built skin folder holds the pages and Leaflet.
install(DIRECTORY ${QUILLENT_BIN_DIR}/skin DESTINATION ${QUILLENT_INSTALL_DIR})
foreach(_program quillent quillent-tool)
    install(CODE "
        set(_dest \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
        file(MAKE_DIRECTORY \"\${_dest}\")
        file(CREATE_LINK ../${QUILLENT_INSTALL_DIR}/${_program} \"\${_dest}/${_program}\" SYMBOLIC)")
endforeach()

install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/quillent.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/quillent-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME quillent.xml)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/resources/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)

# cpack -G DEB (from the build folder) makes quillent_<version>_<arch>.deb. The MIME database,
# the desktop database and the icon cache are refreshed by the triggers of shared-mime-info,
# desktop-file-utils and the icon theme packages.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillent)
set(CPACK_PACKAGE_VENDOR "Quillent")
set(CPACK_PACKAGE_CONTACT "Quillent developers <quillent@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Player and tools for the recordings of a car dashboard camera")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so the library scan cannot see them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-libav, shared-mime-info, desktop-file-utils")
# Better with them, works without: the toolkit's Korean texts, the fonts the panels are drawn in,
# sound straight to the device where no sound server runs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-translations-l10n, fonts-crosextra-carlito, fonts-noto-cjk, gstreamer1.0-alsa")
include(CPack)
