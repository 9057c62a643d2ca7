# `cpack` (run by `./dev package`) makes a Debian package of what `cmake --install` lays out
# for the prefix /usr, with the changes of DebianLayout.cmake: calbrix_<version>_amd64.deb.
# Included from the top-level CMakeLists.txt, where CPack must be.

# The version the About box shows: major, minor and release. The package's version adds the
# commit the build was made from (PackageVersion.cmake, at every build; PackageConfig.cmake
# reads it when cpack runs).
set(CALBRIX_PROGRAM_VERSION
    "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/PackageConfig.cmake)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/DebianLayout.cmake)
# For those two scripts: the sources and what the build made of them.
set(CPACK_CALBRIX_PACKAGING_DIR ${CMAKE_CURRENT_LIST_DIR})
set(CPACK_CALBRIX_BUILD_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)

# The install copies what is built and builds nothing itself, so that packaging after building
# the two programs does not build every test suite first (cpack asks for the install's
# dependencies).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME calbrix)
set(CPACK_PACKAGE_VERSION ${CALBRIX_PROGRAM_VERSION})
set(CPACK_PACKAGE_VENDOR "Tolvex test equipment")
set(CPACK_PACKAGE_CONTACT "Tolvex test equipment <support@tolvex.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cable tester and switch-board tester for the test bench")
set(CPACK_PACKAGE_DESCRIPTION
    "Calbrix drives the Calbrix tester box over USB: it runs take-out, continuity,\n"
    "isolation and relays tests of multi-conductor cables and turns the results into\n"
    "reports, charts, wiring diagrams and printed certificates.\n"
    "\n"
    "Relmora reads the 312 input/output configurations of a relay switch board from\n"
    "its fixture over USB or a serial port and writes a diagnosis.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})

# Installed as the system's programs: staged under DESTDIR with the prefix /usr, so the desktop
# entries and the link name /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The run-time libraries, read from the programs by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The install script gives the operators' tests folder a default ACL, so that every file in
# it stays writable for the group.
set(CPACK_DEBIAN_PACKAGE_DEPENDS acl)
# The faces the windows are laid out for; without them the programs draw in a substitute.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-wine)
# The scripts move the test definitions of an older package out of the program folder, fill
# the operators' tests folder with the samples, make udev apply its rule, refuse to be replaced
# by a package of the older layout, and at purge take away the samples that no operator
# changed. The certificate title is a configuration file.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/preinst ${CMAKE_CURRENT_LIST_DIR}/postinst
    ${CMAKE_CURRENT_LIST_DIR}/prerm ${CMAKE_CURRENT_LIST_DIR}/postrm
    ${CMAKE_CURRENT_LIST_DIR}/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
