# Installation and the Debian package. Destinations are relative to the
# prefix, /usr in the package:
#
#   bin/                                  the programs
#   lib/<multiarch>/corvane-hart/         libfenwire.so and the platform library, private
#   share/corvane-hart/help/              the link control's help page
#   share/corvane-hart/profiles/          the simulated meter's profiles
#   share/applications/, share/icons/     desktop entry and icon
#   share/man/man1/                       a page for each program
#   lib/udev/rules.d/                     USB HART modems to group dialout
#   share/doc/corvane-hart/               copyright and changelog
#
# scripts/package.sh runs CPack on the normal build folder.

# The programs of the package, each with its manual page in docs/man/.
set(CORVANE_PACKAGE_PROGRAMS corvane-hart corvane-hart-cli corvane-hart-bridge corvane-meter-sim)

# In the architecture's library folder where there is one (Debian's multiarch
# folders), so the libraries of two architectures do not collide.
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(CORVANE_PRIVATE_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE}/corvane-hart)
else()
  set(CORVANE_PRIVATE_LIBDIR lib/corvane-hart)
endif()
set(CORVANE_DATADIR share/corvane-hart)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The programs find the private libraries relative to where they lie, so an
# unpacked package runs as it stands; the utility loads libfenwire.so by name
# through the same run path.
file(RELATIVE_PATH libdir_from_bindir /prefix/bin /prefix/${CORVANE_PRIVATE_LIBDIR})
file(RELATIVE_PATH helpdir_from_bindir /prefix/bin /prefix/${CORVANE_DATADIR}/help)
set_source_files_properties(platform/platform.cpp PROPERTIES
  COMPILE_DEFINITIONS CORVANE_INSTALLED_HELP_DIR="${helpdir_from_bindir}")

foreach(program IN LISTS CORVANE_PACKAGE_PROGRAMS)
  if(NOT TARGET ${program})
    message(FATAL_ERROR "Package: the program ${program} has no target")
  endif()
  set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/${libdir_from_bindir}")
  install(TARGETS ${program} RUNTIME DESTINATION bin)
endforeach()

# libfenwire.so finds the platform library beside itself.
set_target_properties(fenwire PROPERTIES INSTALL_RPATH "$ORIGIN")
install(TARGETS fenwire corvane_platform LIBRARY DESTINATION ${CORVANE_PRIVATE_LIBDIR})

install(FILES link/control/help/Fenwire.html DESTINATION ${CORVANE_DATADIR}/help)
install(DIRECTORY sim/profiles/ DESTINATION ${CORVANE_DATADIR}/profiles FILES_MATCHING PATTERN "*.profile")
install(FILES packaging/corvane-hart.desktop DESTINATION share/applications)
install(FILES packaging/corvane-hart.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES packaging/60-corvane-hart-modems.rules DESTINATION lib/udev/rules.d)
install(FILES packaging/copyright DESTINATION share/doc/corvane-hart)

# Manual pages and the changelog go in compressed with gzip -9n (no name or
# time stamp inside, so the same text gives the same bytes).
set(compressed_files)
function(corvane_gzip source output)
  add_custom_command(OUTPUT ${output}
    COMMAND sh -c "gzip -9n -c \"$1\" > \"$2\"" gzip ${source} ${output}
    DEPENDS ${source} VERBATIM)
  set(compressed_files ${compressed_files} ${output} PARENT_SCOPE)
endfunction()

file(GLOB man_pages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/*.1)
foreach(page IN LISTS man_pages)
  get_filename_component(page_name ${page} NAME)
  string(REGEX REPLACE "\\.1$" "" page_program ${page_name})
  corvane_gzip(${page} ${PROJECT_BINARY_DIR}/man/${page_name}.gz)
  install(FILES ${PROJECT_BINARY_DIR}/man/${page_name}.gz DESTINATION share/man/man1)
endforeach()

# The simulated meter's reference, profile keys included.
corvane_gzip(${PROJECT_SOURCE_DIR}/sim/README.md ${PROJECT_BINARY_DIR}/doc/simulated-meter.md.gz)
install(FILES ${PROJECT_BINARY_DIR}/doc/simulated-meter.md.gz DESTINATION share/doc/corvane-hart)
corvane_gzip(${PROJECT_SOURCE_DIR}/packaging/changelog ${PROJECT_BINARY_DIR}/doc/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/doc/changelog.gz DESTINATION share/doc/corvane-hart)
add_custom_target(compressed-docs ALL DEPENDS ${compressed_files})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvane-hart)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Corvane Aldmoor")
set(CPACK_PACKAGE_CONTACT "Corvane Aldmoor HART tools <hart-tools@corvane-aldmoor.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "service and configuration tool for Corvane HART vortex flow meters")
set(CPACK_PACKAGE_DESCRIPTION [[
Configures and services Corvane vortex flow meters over their HART link,
through a USB or serial HART modem: live values, configuration dialogs,
property tables, diagnostics, reports and a bus monitor.
.
The package holds the desktop utility, its link control library and a
simulated meter that runs the whole tool without hardware. A udev rule gives
common USB HART modems to the dialout group.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# dpkg-shlibdeps names the Qt 6, C and C++ libraries the programs link
# against; the window system plugin is loaded at run time, so it is named
# here: without it the utility cannot open a window. The help page opens in
# the desktop's browser.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
