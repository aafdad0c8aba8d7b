# What `cmake --install` puts in place for a Linux desktop, and the Debian package made from it
# by `cpack -G DEB`.
include(GNUInstallDirs)

set(QUILLON_APP_ID com.tessaly.Quillon)
set(QUILLON_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})

install(TARGETS quillon RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# FindHelpPage looks for share/quillon/help beside the program's bin folder.
install(FILES ${PROJECT_SOURCE_DIR}/docs/help/index.html
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quillon/help)
# The help page shows its pictures by the relative path ../screenshots.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/screenshots/
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quillon/screenshots)

install(FILES ${QUILLON_PACKAGING_DIR}/${QUILLON_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# Software centres fetch the screenshot from the web: its address is the project's public
# home followed by the file's path in the source tree. The project has no public home yet,
# so by default the metainfo names none: an address that does not answer fails AppStream's
# validation and shows software centres a broken picture.
set(QUILLON_HOME_URL "" CACHE STRING
    "Web address of the source tree, for the home page and screenshot in the AppStream metainfo")
set(QUILLON_METAINFO_WEB "")
if(QUILLON_HOME_URL)
    string(CONCAT QUILLON_METAINFO_WEB
           "  <url type=\"homepage\">${QUILLON_HOME_URL}</url>\n"
           "  <screenshots>\n"
           "    <screenshot type=\"default\">\n"
           "      <caption>The main window with a Tree view report</caption>\n"
           "      <image>${QUILLON_HOME_URL}/docs/screenshots/main-window.png</image>\n"
           "    </screenshot>\n"
           "  </screenshots>\n")
endif()
configure_file(${QUILLON_PACKAGING_DIR}/${QUILLON_APP_ID}.metainfo.xml.in
               ${QUILLON_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${QUILLON_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# Shell completions, made from the option table (tests/app/CommandOptionsTest.cpp keeps them
# in step), where bash-completion, zsh and fish look for those of packages.
install(FILES ${QUILLON_PACKAGING_DIR}/completions/quillon.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME quillon)
install(FILES ${QUILLON_PACKAGING_DIR}/completions/_quillon
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/vendor-completions)
install(FILES ${QUILLON_PACKAGING_DIR}/completions/quillon.fish
        DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)
install(FILES ${QUILLON_PACKAGING_DIR}/${QUILLON_APP_ID}.mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ${QUILLON_APP_ID}.xml)

# The icon of the program and of its job files: the drawing, and the PNG sizes made from it
# by tools/icons.sh for desktops that do not draw SVG.
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/quillon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${QUILLON_APP_ID}.svg)
foreach(size 16 24 32 48 64 128 256)
    install(FILES ${QUILLON_PACKAGING_DIR}/icons/${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${QUILLON_APP_ID}.png)
endforeach()

# Debian keeps manual pages compressed, without a time stamp so the package is reproducible.
find_program(GZIP_PROGRAM gzip REQUIRED)
add_custom_command(
    OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/quillon.1.gz
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${QUILLON_PACKAGING_DIR}/quillon.1 > quillon.1.gz
    DEPENDS ${QUILLON_PACKAGING_DIR}/quillon.1
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    VERBATIM)
add_custom_target(quillon_man ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/quillon.1.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quillon.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# Debian wants the copyright notice, machine-readable, and the changelog, compressed as the
# manual page, in the package's documentation folder.
add_custom_command(
    OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${QUILLON_PACKAGING_DIR}/debian/changelog > changelog.gz
    DEPENDS ${QUILLON_PACKAGING_DIR}/debian/changelog
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    VERBATIM)
add_custom_target(quillon_changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
install(FILES ${QUILLON_PACKAGING_DIR}/debian/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillon)

set(CPACK_PACKAGE_NAME quillon)
set(CPACK_PACKAGE_VENDOR Tessaly)
set(CPACK_PACKAGE_CONTACT "Tessaly <quillon@tessaly.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "lists the contents of folders as reports")
# Lines of at most 80 columns, as Debian's description field wants them.
set(CPACK_PACKAGE_DESCRIPTION [[
Quillon lists the contents of folders for reading on screen, saving and
printing: a detailed list with dates, attributes, versions, owners, CRC32
checksums and MP3 tags, a tree, a tree with sizes or a folder list, as rich
text, plain text or a web page. A batch mode runs saved jobs without a window.]])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads these as plugins, so the libraries the program links do not name them: the SVG
# image and icon plugins draw every icon of the window.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_STRIP_FILES ON)
include(CPack)
