# cmake --install: the program folder (the executables beside html/, files/, CustomPlugins/ and
# icons/) under <prefix>/lib/corvane-erase, commands in <prefix>/bin linking into it, the desktop
# launcher, the log-in entry that starts the program with /remindme, the icon and the man page.
# The desktop entries are written at install time, so they name the prefix actually installed to
# (cmake --install build --prefix DIR).
include(GNUInstallDirs)

set(CORVANE_INSTALL_FOLDER ${CMAKE_INSTALL_LIBDIR}/corvane-erase)
install(TARGETS CorvaneErase corvane-cli RUNTIME DESTINATION ${CORVANE_INSTALL_FOLDER})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/ DESTINATION ${CORVANE_INSTALL_FOLDER})
install(FILES ${PROJECT_SOURCE_DIR}/data/icons/corvane-erase.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/corvane-cli.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(CODE "
  set(CORVANE_PACKAGING_DIR [[${PROJECT_SOURCE_DIR}/packaging]])
  set(CORVANE_BINDIR [[${CMAKE_INSTALL_BINDIR}]])
  set(CORVANE_INSTALL_FOLDER [[${CORVANE_INSTALL_FOLDER}]])
  set(CORVANE_APPLICATIONS_DIR [[${CMAKE_INSTALL_DATADIR}/applications]])
  set(CORVANE_AUTOSTART_DIR [[${CMAKE_INSTALL_SYSCONFDIR}/xdg/autostart]])")
install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/InstallDesktopEntries.cmake)
