# What an installation adds around the program: the launcher the desktop
# entries run, the desktop and autostart entries, the icons and the manual page;
# and the Debian package made from that installation.

install(PROGRAMS ${CMAKE_SOURCE_DIR}/app/vobrik-desktop TYPE BIN)
install(FILES ${CMAKE_SOURCE_DIR}/resources/vobrik.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icon1001_32.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps RENAME vobrik.png)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icon1001_16.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/16x16/apps RENAME vobrik.png)
install(FILES ${CMAKE_SOURCE_DIR}/resources/vobrik.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The session's autostart looks in /etc/xdg/autostart, not under /usr: the
# place is chosen at install time, so that any other prefix keeps it inside.
install(CODE "
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(autostart /etc/xdg/autostart)
  else()
    set(autostart \"\${CMAKE_INSTALL_PREFIX}/etc/xdg/autostart\")
  endif()
  file(INSTALL \"${CMAKE_SOURCE_DIR}/resources/vobrik-autostart.desktop\"
       DESTINATION \"\${autostart}\" RENAME vobrik.desktop)
")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vobrik)
set(CPACK_PACKAGE_VENDOR "Vobrik")
set(CPACK_PACKAGE_CONTACT "Vobrik developers <vobrik@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "dated reminders in the system tray, in French")
set(CPACK_PACKAGE_DESCRIPTION "Vobrik keeps a list of dated reminders (once, monthly, yearly, \
every N days), rings when they fall due and shows a day summary with the name days.")
# Installed with DESTDIR under the package's /usr, so that the autostart entry
# can go to /etc.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Shared libraries are found by dpkg-shlibdeps; the font is looked up by name.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
include(CPack)
