# Writes the desktop entry at install time, when the prefix is known (it may
# be given to `cmake --install --prefix` only then).  KOLMO_DESKTOP_IN is set
# by the install code before this script runs.
#
# Under /usr and /usr/local (the Debian package, a system-wide install) the
# program is on every user's PATH and the icon in the theme folders the
# desktop searches, so the entry names both (Exec=kolmo, Icon=kolmo), as the
# freedesktop rules prefer; under any other prefix it gives their full paths.
set(prefix "${CMAKE_INSTALL_PREFIX}")
file(READ "${KOLMO_DESKTOP_IN}" entry)
if(prefix STREQUAL "/usr" OR prefix STREQUAL "/usr/local")
  set(exec "kolmo")
  set(icon "kolmo")
else()
  set(exec "${prefix}/bin/kolmo")
  # A path with blanks is quoted, as the entry's Exec key requires.
  if(exec MATCHES " ")
    set(exec "\"${exec}\"")
  endif()
  set(icon "${prefix}/share/icons/hicolor/scalable/apps/kolmo.svg")
endif()
string(REPLACE "@KOLMO_EXEC@" "${exec}" entry "${entry}")
string(REPLACE "@KOLMO_ICON@" "${icon}" entry "${entry}")
set(target "$ENV{DESTDIR}${prefix}/share/applications/kolmo.desktop")
message(STATUS "Installing: ${target}")
file(WRITE "${target}" "${entry}")
