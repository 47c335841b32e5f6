# Writes the desktop entry at install time, when the prefix is known (it may
# be given to `cmake --install --prefix` only then).  KOLMO_DESKTOP_IN is set
# by the install code before this script runs.
set(prefix "${CMAKE_INSTALL_PREFIX}")
file(READ "${KOLMO_DESKTOP_IN}" entry)
set(exec "${prefix}/kolmo")
# A path with blanks is quoted, as the entry's Exec key requires.
if(exec MATCHES " ")
  set(exec "\"${exec}\"")
endif()
string(REPLACE "@KOLMO_EXEC@" "${exec}" entry "${entry}")
string(REPLACE "@KOLMO_ICON@" "${prefix}/share/icons/hicolor/scalable/apps/kolmo.svg" entry "${entry}")
set(target "$ENV{DESTDIR}${prefix}/share/applications/kolmo.desktop")
message(STATUS "Installing: ${target}")
file(WRITE "${target}" "${entry}")
