# Read by cpack before it makes the package: the version that the last build worked out from
# the sources (PackageVersion.cmake), so that the package is named and numbered after the
# commit its programs were built from.
set(version_file "${CPACK_CALBRIX_BUILD_PACKAGING_DIR}/package-version")
if(NOT EXISTS "${version_file}")
    message(FATAL_ERROR "No package version in ${version_file}: build the install_files target "
                        "first (./dev package does)")
endif()
file(STRINGS "${version_file}" CPACK_PACKAGE_VERSION LIMIT_COUNT 1)
set(CPACK_DEBIAN_PACKAGE_VERSION "${CPACK_PACKAGE_VERSION}")
