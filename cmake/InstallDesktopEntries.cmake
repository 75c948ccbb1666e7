# Run by cmake --install (see Install.cmake): the command links in bin/ and the two desktop
# entries, which name the prefix installed to.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
file(MAKE_DIRECTORY "${root}/${CORVANE_BINDIR}")
# Relative links: the installed tree may be moved as a whole.
file(RELATIVE_PATH target "${CMAKE_INSTALL_PREFIX}/${CORVANE_BINDIR}"
     "${CMAKE_INSTALL_PREFIX}/${CORVANE_INSTALL_FOLDER}")
foreach(pair "corvane-erase:CorvaneErase" "corvane-cli:corvane-cli")
  string(REPLACE ":" ";" names "${pair}")
  list(GET names 0 link)
  list(GET names 1 program)
  message(STATUS "Installing: ${root}/${CORVANE_BINDIR}/${link}")
  file(CREATE_LINK "${target}/${program}" "${root}/${CORVANE_BINDIR}/${link}" SYMBOLIC)
endforeach()

# The Exec key quotes the program's path; inside the quotes the format reserves ", `, $ and \,
# each escaped with a backslash, and the file's string rules double every backslash again.
set(exec "${CMAKE_INSTALL_PREFIX}/${CORVANE_BINDIR}/corvane-erase")
string(REPLACE "\\" "\\\\\\\\" exec "${exec}")
foreach(reserved "\"" "`" "$")
  string(REPLACE "${reserved}" "\\\\${reserved}" exec "${exec}")
endforeach()
set(EXEC "\"${exec}\"")
foreach(entry "corvane-erase.desktop:${CORVANE_APPLICATIONS_DIR}"
              "corvane-erase-autostart.desktop:${CORVANE_AUTOSTART_DIR}")
  string(REPLACE ":" ";" parts "${entry}")
  list(GET parts 0 source)
  list(GET parts 1 folder)
  message(STATUS "Installing: ${root}/${folder}/corvane-erase.desktop")
  configure_file("${CORVANE_PACKAGING_DIR}/${source}.in" "${root}/${folder}/corvane-erase.desktop"
                 @ONLY)
endforeach()
