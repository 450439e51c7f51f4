# `cmake --install`: the two programs in bin/, their resources in share/orvaneh (found from bin/ by
# Platform/files/Resources), and, with the desktop program, its menu entry, icon and AppStream
# description. The simulators and the build tools are never installed. CPack makes the .deb.
set(ORVANEH_APP_ID org.orvaneh.Orvaneh)
set(ORVANEH_RELEASE_DATE 2026-12-07)

install(TARGETS orvaneh-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET orvaneh)
  install(TARGETS orvaneh RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES packaging/${ORVANEH_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES resources/icons/orvaneh.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  configure_file(packaging/${ORVANEH_APP_ID}.metainfo.xml.in
                 ${CMAKE_BINARY_DIR}/packaging/${ORVANEH_APP_ID}.metainfo.xml @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${ORVANEH_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

set(CPACK_PACKAGE_NAME orvaneh)
set(CPACK_PACKAGE_VENDOR "Orvaneh")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Équipe Orvaneh <contact@orvaneh.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "digital-dictation client / client de dictée numérique")
set(CPACK_PACKAGE_DESCRIPTION
    "Orvaneh records dictations, lets you listen to them, insert and cut passages, describe them \
with the office's workflow data, and sends them in the background to the office's server by \
FTP or web service. It has a desktop application (orvaneh) and a command line (orvaneh-cli).

Orvaneh enregistre des dictées, permet de les réécouter, d'y insérer ou d'en couper des \
passages, de les décrire avec les données du workflow de l'office, et les envoie en arrière-plan \
au serveur de l'office, par FTP ou par service web. Il comprend une application de bureau \
(orvaneh) et une ligne de commande (orvaneh-cli).")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the programs link come from dpkg-shlibdeps (Qt's platform plug-ins come with
# libqt6gui6); the SVG image plug-in that draws the icons is loaded at run time and must be named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET orvaneh)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
  # Qt's own dialogs in French; without it they stay in English.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
endif()
include(CPack)
