# Installation and the Debian package (CPack DEB): the two programs in /usr/bin,
# the desktop entry and its icon, the manual pages, the documentation, the
# systemd unit and its environment file. Build the package with
# scripts/paquete.sh, or `cpack -G DEB` in a build tree.

include(GNUInstallDirs)
set(CORVANE_MANTENEDOR "Equipo de Corvane <corvane@example.org>" CACHE STRING
    "Maintainer of the Debian package (name <address>)")
set(corvane_paquete_src ${CMAKE_SOURCE_DIR}/paquete)
set(corvane_paquete_bin ${CMAKE_BINARY_DIR}/paquete)
set(corvane_doc ${CMAKE_INSTALL_DATADIR}/doc/corvane)

# The manual pages and the changelog take the version from project(); Debian
# wants them compressed, without a time stamp in the gzip header.
set(corvane_comprimidos)
foreach(plantilla corvane.1 corvane-simulador.1 changelog)
  configure_file(${corvane_paquete_src}/${plantilla}.in ${corvane_paquete_bin}/${plantilla} @ONLY)
  add_custom_command(OUTPUT ${corvane_paquete_bin}/${plantilla}.gz
    COMMAND gzip -9nfk ${plantilla}
    DEPENDS ${corvane_paquete_bin}/${plantilla}
    WORKING_DIRECTORY ${corvane_paquete_bin} VERBATIM)
  list(APPEND corvane_comprimidos ${corvane_paquete_bin}/${plantilla}.gz)
endforeach()
add_custom_target(corvane_documentos ALL DEPENDS ${corvane_comprimidos})

install(TARGETS corvane corvane-simulador RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The windows' module, private to the program: the program looks for it beside
# itself (a build tree) and then in ../lib/<architecture>/corvane.
if(TARGET corvane_ventanas)
  install(TARGETS corvane_ventanas LIBRARY DESTINATION ${CORVANE_DIR_MODULO}
          PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()
install(FILES ${corvane_paquete_src}/corvane.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# An example for the operator to copy into ~/.config/autostart (or
# /etc/xdg/autostart): the windows start with the session, the port open.
install(FILES ${corvane_paquete_src}/corvane-autostart.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/corvane)
install(FILES ${corvane_paquete_src}/corvane.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${corvane_paquete_bin}/corvane.1.gz ${corvane_paquete_bin}/corvane-simulador.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_SOURCE_DIR}/README.md ${corvane_paquete_src}/copyright
              ${corvane_paquete_bin}/changelog.gz
        DESTINATION ${corvane_doc})
# The README's pictures and linked notes, at the same relative paths.
install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs DESTINATION ${corvane_doc})
# Where Debian 12 keeps system units and the environment files of services.
install(FILES ${corvane_paquete_src}/corvane@.service DESTINATION /lib/systemd/system)
install(FILES ${corvane_paquete_src}/corvane.default DESTINATION /etc/default RENAME corvane)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGE_CONTACT "${CORVANE_MANTENEDOR}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The Qt runtime libraries come from the linked ones; the SQL drivers are
# plugins, loaded by name, and the maintainer script needs adduser.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "adduser, libqt6sql6-sqlite, libqt6sql6-psql, qt6-translations-l10n")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "consola del receptor de alarmas por puerto serie")
set(CPACK_PACKAGE_DESCRIPTION "Corvane recibe los informes de un receptor de alarmas por un puerto serie,
los decodifica, muestra una línea por evento, guarda cada evento en una base
SQLite local o en un servidor PostgreSQL central, lista los eventos de una
cuenta en un día y avisa de las alarmas nuevas hasta que se reconocen.

Incluye el servicio corvane@.service, que recibe sin ventanas de un puerto
(corvane@ttyUSB0), y corvane-simulador, que imita el tráfico de un receptor.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${corvane_paquete_src}/postinst ${corvane_paquete_src}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
