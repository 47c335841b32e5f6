# Manual pages kolmo(1) and kolmo-cli(1), made at build time from the
# programs' own --help with help2man (packaging/manpage.sh), so that they
# follow the options and subcommands as these change; what --help does not
# say (files, environment, data licence) is in packaging/<program>.h2m.
# Pages go to <build>/man/ gzipped, as Debian ships them.
find_program(KOLMO_HELP2MAN help2man)
set(KOLMO_MANPAGES "")
if(KOLMO_FUZZ)
  # The fuzzing build has no use for pages.
elseif(NOT KOLMO_HELP2MAN)
  message(STATUS "help2man not found: no manual pages (scripts/install-deps.sh installs it)")
else()
  set(programs kolmo-cli)
  set(summary_kolmo-cli "coordinate transformations between the Slovenian datums D48 and D96 (batch form)")
  if(KOLMO_GUI)
    list(APPEND programs kolmo)
    set(summary_kolmo "coordinate transformations between the Slovenian datums D48 and D96 (desktop program)")
  endif()
  foreach(program ${programs})
    set(page ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
      COMMAND bash ${CMAKE_SOURCE_DIR}/packaging/manpage.sh $<TARGET_FILE:${program}> "${summary_${program}}"
              ${CMAKE_SOURCE_DIR}/packaging/${program}.h2m ${page}
      DEPENDS ${program} ${CMAKE_SOURCE_DIR}/packaging/manpage.sh ${CMAKE_SOURCE_DIR}/packaging/${program}.h2m
      COMMENT "Manual page ${program}(1)"
      VERBATIM)
    list(APPEND KOLMO_MANPAGES ${page})
  endforeach()
  add_custom_target(kolmo_manpages ALL DEPENDS ${KOLMO_MANPAGES})
  # OPTIONAL: an install from a build where only some targets were built still
  # works; the package tests check that the package has the pages.
  install(FILES ${KOLMO_MANPAGES} DESTINATION share/man/man1 OPTIONAL)
endif()
