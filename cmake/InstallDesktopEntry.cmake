# Run by `cmake --install`: writes the desktop entry with the program's
# installed path (known only now: --prefix and DESTDIR are chosen at install
# time) and, for a plain install into the live system, brings the desktop's
# databases up to date. A package's own scripts do the latter for DESTDIR
# installs.
#
# Expects KINOVELA_DESKTOP_TEMPLATE, KINOVELA_INSTALL_BINDIR and
# KINOVELA_INSTALL_DATAROOT (relative to the prefix) to be set.
set(exec "${CMAKE_INSTALL_PREFIX}/${KINOVELA_INSTALL_BINDIR}/kinovela")
file(READ "${KINOVELA_DESKTOP_TEMPLATE}" entry)
# Exec is quoted when the path needs it; TryExec takes the path as it is.
set(exec_arg "${exec}")
if(exec MATCHES "[^A-Za-z0-9/._+-]")
  string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" exec_arg "${exec}")
  set(exec_arg "\"${exec_arg}\"")
  string(REPLACE "\\" "\\\\" exec_arg "${exec_arg}")
endif()
string(REPLACE "@EXEC@" "${exec_arg}" entry "${entry}")
string(REPLACE "@TRYEXEC@" "${exec}" entry "${entry}")
set(to "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${KINOVELA_INSTALL_DATAROOT}/applications")
file(MAKE_DIRECTORY "${to}")
message(STATUS "Installing: ${to}/kinovela.desktop")
file(WRITE "${to}/kinovela.desktop" "${entry}")
if("$ENV{DESTDIR}" STREQUAL "")
  find_program(update_mime update-mime-database)
  find_program(update_desktop update-desktop-database)
  if(update_mime)
    execute_process(COMMAND "${update_mime}" "${CMAKE_INSTALL_PREFIX}/${KINOVELA_INSTALL_DATAROOT}/mime")
  endif()
  if(update_desktop)
    execute_process(COMMAND "${update_desktop}" "${to}")
  endif()
endif()
