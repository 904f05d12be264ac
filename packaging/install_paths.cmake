# Run at install time: writes a packaging template with its @BINDIR@ and @DOCDIR@ filled in from
# the prefix being installed to (cmake --install --prefix, make install PREFIX=..., or CPack's).
# Expects TEMPLATE, DESTINATION (relative to the prefix), BINDIR and DOCDIR (both relative).
file(READ "${TEMPLATE}" text)
set(BINDIR "${CMAKE_INSTALL_PREFIX}/${BINDIR}")
set(DOCDIR "${CMAKE_INSTALL_PREFIX}/${DOCDIR}")
string(CONFIGURE "${text}" text @ONLY)
get_filename_component(name "${TEMPLATE}" NAME_WLE)
set(target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${DESTINATION}/${name}")
message(STATUS "Installing: ${target}")
file(WRITE "${target}" "${text}")
