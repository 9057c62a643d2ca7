# Run by cpack between the install into its staging folder and the making of the package: what
# the package holds beyond the plain install of `cmake --install`.
#
# The cable tester reads its test definitions and its certificate title from its program
# folder (/usr/lib/calbrix), which dpkg owns: an upgrade would put the shipped files back over
# the operators' and nobody but root may write there. In the package those two names are links
# into places the operators and the administrator own, which dpkg leaves alone:
#   /usr/lib/calbrix/Tests            -> /var/lib/calbrix/Tests, the operators' definitions,
#                                        made and filled with the samples by the install script
#   /usr/lib/calbrix/CertifTitle.txt  -> /etc/calbrix/CertifTitle.txt, a configuration file
#   /usr/share/calbrix/Tests/         the samples as shipped
# and it adds the manual pages and README.Debian.

set(root "${CPACK_TEMPORARY_DIRECTORY}")
set(source "${CPACK_CALBRIX_PACKAGING_DIR}")
set(built "${CPACK_CALBRIX_BUILD_PACKAGING_DIR}")
set(read_only OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

file(MAKE_DIRECTORY "${root}/usr/share/calbrix")
file(RENAME "${root}/usr/lib/calbrix/Tests" "${root}/usr/share/calbrix/Tests")
# Absolute: they lead out of /usr.
file(CREATE_LINK /var/lib/calbrix/Tests "${root}/usr/lib/calbrix/Tests" SYMBOLIC)
file(CREATE_LINK /etc/calbrix/CertifTitle.txt "${root}/usr/lib/calbrix/CertifTitle.txt" SYMBOLIC)

file(COPY "${source}/CertifTitle.txt" DESTINATION "${root}/etc/calbrix" FILE_PERMISSIONS ${read_only})
file(COPY "${source}/README.Debian" DESTINATION "${root}/usr/share/doc/calbrix"
     FILE_PERMISSIONS ${read_only})
file(COPY "${built}/calbrix.1.gz" "${built}/relmora.1.gz" DESTINATION "${root}/usr/share/man/man1"
     FILE_PERMISSIONS ${read_only})
