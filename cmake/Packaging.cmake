# The Debian package: the program in /usr/lib/velmor-tarsila (never run from
# there; the launcher copies it per user), the launcher in /usr/bin, the menu
# entry, the icon, the man page and the copyright file.
if(WIN32)
    return()
endif()

include(GNUInstallDirs)
set(PACKAGE_LIB_SUBDIR "lib/velmor-tarsila")
set(PACKAGE_LIB_DIR "${CMAKE_INSTALL_PREFIX}/${PACKAGE_LIB_SUBDIR}")

install(TARGETS velmor-tarsila velmor-update-answer RUNTIME DESTINATION "${PACKAGE_LIB_SUBDIR}")
file(WRITE "${CMAKE_BINARY_DIR}/packaging/version" "${PROJECT_VERSION}\n")
install(FILES "${CMAKE_BINARY_DIR}/packaging/version" DESTINATION "${PACKAGE_LIB_SUBDIR}")

configure_file("${PROJECT_SOURCE_DIR}/packaging/velmor-tarsila.in" "${CMAKE_BINARY_DIR}/packaging/velmor-tarsila" @ONLY)
install(PROGRAMS "${CMAKE_BINARY_DIR}/packaging/velmor-tarsila" DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(FILES "${PROJECT_SOURCE_DIR}/packaging/velmor-tarsila.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
foreach(size 48 128 256)
    install(FILES "${PROJECT_SOURCE_DIR}/resources/icons/velmor-tarsila-${size}.png"
            DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps"
            RENAME velmor-tarsila.png)
endforeach()

# Debian wants man pages compressed, reproducibly.
set(man "${CMAKE_BINARY_DIR}/packaging/velmor-tarsila.1.gz")
add_custom_command(OUTPUT "${man}"
    COMMAND gzip -9 -n -c "${PROJECT_SOURCE_DIR}/packaging/velmor-tarsila.1" > "${man}"
    DEPENDS "${PROJECT_SOURCE_DIR}/packaging/velmor-tarsila.1" VERBATIM)
add_custom_target(velmor-man-page ALL DEPENDS "${man}")
install(FILES "${man}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man1")
install(FILES "${PROJECT_SOURCE_DIR}/packaging/copyright" DESTINATION "${CMAKE_INSTALL_DATADIR}/doc/velmor-tarsila")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmor-tarsila)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Velmor Tarsila")
set(CPACK_PACKAGE_CONTACT "Velmor Tarsila support <support@velmor-tarsila.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Desktop shell for the hosted invoicing service, with receipt printing")
set(CPACK_PACKAGE_DESCRIPTION "Shows the invoicing web application in one window, prints each page's invoice on a printer or a receipt printer's port, saves reports and updates itself per user.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # velmor-tarsila_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
# Libraries the programs link are found by dpkg-shlibdeps; what is used at
# run time without being linked is named here: the SQLite driver Qt loads,
# Qt's Croatian translation, and xdg-open, which opens the saved reports;
# on QtWebEngine also the engine's helper process and its resources.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(VELMOR_QT EQUAL 5)
    set(VELMOR_RUNTIME_DEPENDS "libqt5sql5-sqlite, qttranslations5-l10n, xdg-utils")
else()
    set(VELMOR_RUNTIME_DEPENDS
        "libqt6sql6-sqlite, qt6-translations-l10n, libqt6webenginecore6-bin, xdg-utils")
endif()
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${VELMOR_RUNTIME_DEPENDS}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "cups")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
