# Where an installed copy puts its files (GNU layout under the prefix, /usr for the package).
include(GNUInstallDirs)

# The reverse-DNS name of the desktop entry, icon and metainfo; also the program's desktop file
# name, so window managers match the running window to its menu entry.
set(KB_APP_ID "example.kettlebox.Recipe")
# The empty recipe file a new user of an installed copy starts from.
set(KB_STARTER_DIR "${CMAKE_INSTALL_DATADIR}/kettlebox")
file(RELATIVE_PATH KB_STARTER_FROM_BIN "/${CMAKE_INSTALL_BINDIR}" "/${KB_STARTER_DIR}")
# The Debian revision of the package (the version after the dash).
set(KB_DEB_RELEASE 1)
# Helper programs that only the programs start (never the user) go here, not on the PATH.
set(KB_LIBEXEC_DIR "${CMAKE_INSTALL_LIBEXECDIR}/kettlebox")

# kb_install_program(target): a program the user starts, into bin.
function(kb_install_program target)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

# kb_install_helper(target): a program started by the programs only, into libexec/kettlebox.
function(kb_install_helper target)
  install(TARGETS ${target} RUNTIME DESTINATION ${KB_LIBEXEC_DIR})
endfunction()
