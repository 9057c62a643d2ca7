# Runs inside `cmake --install`, where CMAKE_INSTALL_PREFIX is the prefix of this install and
# DESTDIR, when set, the staging folder in front of it.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
# A relative prefix is taken from the working folder, as the files are.
get_filename_component(prefix "${CMAKE_INSTALL_PREFIX}" ABSOLUTE)

# A file the install made, for its manifest.
function(installed path)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${path}")
    set(CMAKE_INSTALL_MANIFEST_FILES "${CMAKE_INSTALL_MANIFEST_FILES}" PARENT_SCOPE)
endfunction()

# Relative, so that the staged tree and the installed one hold the same link.
set(link "${root}/bin/calbrix")
set(target "../${CALBRIX_PROGRAM_DIR}/calbrix")
message(STATUS "Installing: ${link} -> ${target}")
file(MAKE_DIRECTORY "${root}/bin")
file(REMOVE "${link}")
file(CREATE_LINK "${target}" "${link}" SYMBOLIC)
installed("${link}")

foreach(program calbrix relmora)
    # Where the program will run from, without the staging folder; quoted for a prefix with
    # blanks (CMake itself installs under no prefix with quotes, dollars or backslashes).
    set(PROGRAM_EXEC "\"${prefix}/bin/${program}\"")
    set(entry "${root}/share/applications/${program}.desktop")
    message(STATUS "Installing: ${entry}")
    configure_file("${CALBRIX_PACKAGING}/${program}.desktop.in" "${entry}" @ONLY)
    installed("${entry}")
endforeach()

# udev reads the rules of Debian's packages from /lib/udev/rules.d, where a package for the
# prefix /usr puts its own; below another prefix the rule stays in it (udev reads
# /usr/local/lib/udev/rules.d as well). file(INSTALL) puts DESTDIR in front by itself.
if(prefix STREQUAL "/usr")
    set(rules_dir "/lib/udev/rules.d")
else()
    set(rules_dir "${prefix}/lib/udev/rules.d")
endif()
file(INSTALL "${CALBRIX_PACKAGING}/60-calbrix.rules" DESTINATION "${rules_dir}")
