# What an installation adds around the program: the launcher the desktop
# entries run, the desktop and autostart entries, the icons, the manual pages,
# the software-centre metadata, the licence and the changelog; and the Debian
# package made from that installation.

install(PROGRAMS ${CMAKE_SOURCE_DIR}/app/vobrik-desktop TYPE BIN)
install(FILES ${CMAKE_SOURCE_DIR}/resources/vobrik.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vobrik)
install(FILES ${CMAKE_SOURCE_DIR}/resources/vobrik.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icon1001_32.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/32x32/apps RENAME vobrik.png)
install(FILES ${CMAKE_SOURCE_DIR}/resources/icon1001_16.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/16x16/apps RENAME vobrik.png)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${CMAKE_SOURCE_DIR}/resources/vobrik.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# What software centres list; the screenshots are the README's, published
# under the home page.
configure_file(${CMAKE_SOURCE_DIR}/resources/org.vobrik.vobrik.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/org.vobrik.vobrik.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/org.vobrik.vobrik.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages and the changelog go compressed, as the distribution keeps
# them; the launcher shares the program's page.
set(packed ${CMAKE_BINARY_DIR}/packed)
file(MAKE_DIRECTORY ${packed})
function(vobrik_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND gzip -9nc ${source} > ${output}
    DEPENDS ${source} VERBATIM)
endfunction()
vobrik_gzip(${CMAKE_SOURCE_DIR}/resources/vobrik.1 ${packed}/vobrik.1.gz)
file(MAKE_DIRECTORY ${packed}/fr)
vobrik_gzip(${CMAKE_SOURCE_DIR}/resources/vobrik.fr.1 ${packed}/fr/vobrik.1.gz)
vobrik_gzip(${CMAKE_SOURCE_DIR}/cmake/debian/changelog ${packed}/changelog.gz)
add_custom_target(vobrik_packed ALL DEPENDS ${packed}/vobrik.1.gz ${packed}/fr/vobrik.1.gz
                                            ${packed}/changelog.gz)
file(CREATE_LINK vobrik.1.gz ${packed}/vobrik-desktop.1.gz SYMBOLIC)
file(CREATE_LINK vobrik.1.gz ${packed}/fr/vobrik-desktop.1.gz SYMBOLIC)
install(FILES ${packed}/vobrik.1.gz ${packed}/vobrik-desktop.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# What man shows under a French locale.
install(FILES ${packed}/fr/vobrik.1.gz ${packed}/fr/vobrik-desktop.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/fr/man1)

# The changelog's newest entry names the version being packaged.
file(STRINGS ${CMAKE_SOURCE_DIR}/cmake/debian/changelog newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^vobrik \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "cmake/debian/changelog starts with '${newest}', "
                      "not with version ${PROJECT_VERSION}")
endif()

# The licence in the machine-readable form the distribution reads.
file(READ ${CMAKE_SOURCE_DIR}/LICENSE licence)
string(REGEX REPLACE "\n+$" "" licence "${licence}")
string(REGEX MATCH "^Copyright \\(c\\) ([^\n]*)" holder "${licence}")
set(holder "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^[^\n]*\n\n" "" terms "${licence}")
string(REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REPLACE "\n" "\n " terms "${terms}")
file(WRITE ${packed}/copyright
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: vobrik

Files: *
Copyright: ${holder}
License: Expat
 ${terms}
")
install(FILES ${packed}/copyright ${packed}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/vobrik)

# The session's autostart looks in /etc/xdg/autostart and the user's
# ~/.config/autostart, not under a prefix: the place is chosen at install
# time, /usr and /usr/local for every user, a prefix in the home for its
# owner; any other prefix (a staging folder) keeps it inside.
install(CODE "
  set(home \"\$ENV{HOME}\")
  set(config \"\$ENV{XDG_CONFIG_HOME}\")
  if(NOT config MATCHES \"^/\")
    set(config \"\${home}/.config\")
  endif()
  if(CMAKE_INSTALL_PREFIX MATCHES \"^/usr(/local)?/?$\")
    set(autostart /etc/xdg/autostart)
  elseif(home MATCHES \"^/.\" AND CMAKE_INSTALL_PREFIX MATCHES \"^\${home}/\")
    set(autostart \"\${config}/autostart\")
  else()
    set(autostart \"\${CMAKE_INSTALL_PREFIX}/etc/xdg/autostart\")
  endif()
  file(INSTALL \"${CMAKE_SOURCE_DIR}/resources/vobrik-autostart.desktop\"
       DESTINATION \"\${autostart}\" RENAME vobrik.desktop)
")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vobrik)
set(CPACK_PACKAGE_VENDOR "Vobrik")
set(CPACK_PACKAGE_CONTACT "${VOBRIK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VOBRIK_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VOBRIK_HOMEPAGE}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "dated reminders in the system tray, in French")
set(CPACK_PACKAGE_DESCRIPTION "Vobrik keeps a list of dated reminders (once, monthly, yearly,
every N days), rings when they fall due and shows a day summary with the
French name days. Its icon sits in any system tray, XEmbed or
StatusNotifierItem.")
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
# The autostart entry is the administrator's to change or remove.
file(WRITE ${packed}/conffiles "/etc/xdg/autostart/vobrik.desktop\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${packed}/conffiles)
# The program goes stripped. Its debugging symbols are left out: CPack's
# -dbgsym package lists its file under a wrong path and has no copyright file
# of its own, so the distribution's checks would reject it.
set(CPACK_STRIP_FILES ON)
include(CPack)
