# The version of the Debian package, worked out at every build (cmake -P), so that a package
# built after a new commit is newer for dpkg and apt than one built before it, whether or not
# CMake configured again in between:
#   1.0.0+git163.c590331          the program's version, the number of commits up to the
#                                 checked-out one, and its short hash
#   1.0.0+git163.c590331.dirty    the same with changes that are not committed
#   1.0.0+git0.c590331.shallow    a shallow clone, which cannot count the history
#   1.0.0+0.nogit                 sources that are not a git checkout of their own
# The last two sort below every build that knows its history, and all of them above the
# packages of plain "1.0.0" that came before. The About box shows the program's version only.
#
#   cmake -DSOURCE_DIR=... -DPROGRAM_VERSION=1.0.0 -DVERSION_FILE=... [-DCHANGELOG_IN=...
#         -DCHANGELOG=...] -P PackageVersion.cmake
# writes the version into VERSION_FILE and the change notes into CHANGELOG, each only when its
# text changed, so that what depends on them is not made again at every build.

foreach(name SOURCE_DIR PROGRAM_VERSION VERSION_FILE)
    if(NOT DEFINED ${name})
        message(FATAL_ERROR "PackageVersion.cmake needs -D${name}=...")
    endif()
endforeach()

# Runs git in the sources; the output, or the empty text when it failed (with git's reason in
# `failed`).
function(git out failed)
    execute_process(COMMAND "${git_program}" --no-optional-locks -C "${SOURCE_DIR}" ${ARGN}
                    RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE complaint
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_STRIP_TRAILING_WHITESPACE)
    if(status EQUAL 0)
        set(${out} "${said}" PARENT_SCOPE)
        set(${failed} "" PARENT_SCOPE)
    else()
        set(${out} "" PARENT_SCOPE)
        set(${failed} "${complaint}" PARENT_SCOPE)
    endif()
endfunction()

set(version "${PROGRAM_VERSION}+0.nogit")
find_program(git_program git)
if(NOT EXISTS "${SOURCE_DIR}/.git")
    # A copy of the sources, or sources inside another project's checkout: no history of ours.
elseif(NOT git_program)
    message(WARNING "git is not installed: the package is version ${version}")
else()
    git(top failed rev-parse --show-toplevel)
    if(failed STREQUAL "")
        git(hash failed rev-parse --short HEAD)
    endif()
    file(REAL_PATH "${SOURCE_DIR}" source_real)
    if(NOT failed STREQUAL "")
        # Quietly for a checkout without any commit; for one that git refuses (another user's
        # folder, a broken repository), with the reason.
        if(NOT failed MATCHES "Needed a single revision|ambiguous argument 'HEAD'")
            message(WARNING "git cannot read the history of the sources, the package is version "
                            "${version}: ${failed}")
        endif()
    elseif(top STREQUAL source_real)
        git(shallow failed rev-parse --is-shallow-repository)
        if(shallow STREQUAL "true")
            set(version "${PROGRAM_VERSION}+git0.${hash}.shallow")
        else()
            git(count failed rev-list --count HEAD)
            set(version "${PROGRAM_VERSION}+git${count}.${hash}")
        endif()
        # Untracked files count: a new sample test would go into the package.
        git(changes failed status --porcelain)
        if(NOT changes STREQUAL "" OR NOT failed STREQUAL "")
            string(APPEND version ".dirty")
        endif()
    endif()
endif()

# Written only when it changed.
function(write_if_changed path text)
    if(EXISTS "${path}")
        file(READ "${path}" old)
        if(old STREQUAL text)
            return()
        endif()
    endif()
    file(WRITE "${path}" "${text}")
endfunction()

write_if_changed("${VERSION_FILE}" "${version}\n")
if(DEFINED CHANGELOG)
    set(CALBRIX_PACKAGE_VERSION "${version}")
    file(READ "${CHANGELOG_IN}" template)
    string(CONFIGURE "${template}" changelog @ONLY)
    write_if_changed("${CHANGELOG}" "${changelog}")
endif()
