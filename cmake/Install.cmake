# Installation as a Linux program: the programs under bin, the shipped
# resources under share/lorvex/resources (the programs find them from their
# own location, src/db/resources_dir.h), the menu entry, the .mdt file type
# and the icon in the hicolor theme; and a Debian package of all of it:
#   cpack --config <build>/CPackConfig.cmake -G DEB
include(GNUInstallDirs)

option(LORVEX_SOURCE_RESOURCES
    "Let programs that find no installed resources read this source tree's (OFF for packages)" ON)

set(LORVEX_INSTALL_RESOURCESDIR "${CMAKE_INSTALL_DATADIR}/lorvex/resources")
file(RELATIVE_PATH _lorvex_bin_to_resources "${CMAKE_INSTALL_FULL_BINDIR}"
    "${CMAKE_INSTALL_FULL_DATADIR}/lorvex/resources")
target_compile_definitions(lorvex_db PRIVATE LORVEX_BIN_TO_RESOURCES="${_lorvex_bin_to_resources}")
if(LORVEX_SOURCE_RESOURCES)
    target_compile_definitions(lorvex_db PRIVATE
        LORVEX_BUILD_TREE_RESOURCES="${PROJECT_SOURCE_DIR}/resources")
endif()

# A build without the CLI (the fuzz build) has no program to install.
if(TARGET lorvex-cli)
    install(TARGETS lorvex-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    # Where lorvex-cli looks for its drawing module (src/cli/cli_drawing.h).
    install(TARGETS lorvex_cli_drawing LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/lorvex)
endif()
# The whole folder, so that a table added to it later ships without a change here.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/ DESTINATION ${LORVEX_INSTALL_RESOURCESDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/lorvex-mime.xml
    DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME lorvex.xml)

if(LORVEX_BUILD_GUI)
    install(TARGETS lorvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/lorvex.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

    set(_lorvex_svg ${PROJECT_SOURCE_DIR}/resources/icons/lorvex.svg)
    set(_lorvex_hicolor ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
    install(FILES ${_lorvex_svg} DESTINATION ${_lorvex_hicolor}/scalable/apps)
    set(_lorvex_pngs "")
    foreach(size 48 256)
        set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/lorvex.png)
        # A sanitized build's leak check would fail the build over Qt's
        # exit-time caches; the tool's output is what matters here.
        add_custom_command(OUTPUT ${png}
            COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
            COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
                $<TARGET_FILE:lorvex-render-icon> ${_lorvex_svg} ${size} ${png}
            DEPENDS lorvex-render-icon ${_lorvex_svg}
            COMMENT "Rendering the ${size} px program icon"
            VERBATIM)
        list(APPEND _lorvex_pngs ${png})
        install(FILES ${png} DESTINATION ${_lorvex_hicolor}/${size}x${size}/apps)
    endforeach()
    add_custom_target(lorvex_icons ALL DEPENDS ${_lorvex_pngs})
endif()

# The Debian package. Shared-library dependencies come from dpkg-shlibdeps;
# the rest are what the program needs at run time without linking to it: the
# CJK font of the record book, the SQLite ODBC driver and the driver manager's
# tools, Qt's platform plugins and Qt's Chinese texts. The menu, file-type and
# icon caches are refreshed by dpkg triggers, so no maintainer scripts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lorvex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Lorvex)
set(CPACK_PACKAGE_CONTACT "Lorvex developers <lorvex@localhost>"
    CACHE STRING "The Maintainer field of the Debian package")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "levelling record books from digital level measurement files")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Lorvex reads the measurement file of a digital level (.mdt), splits it into\n\
levelling lines, computes every station of a second, third or fourth order\n\
line and prints the record book (水准测量记录手簿), on screen, on paper or as PDF.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-noto-cjk, libsqliteodbc, unixodbc, qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
