# The Debian package, built by CPack's DEB generator (scripts/package drives it).
# Included from the top-level CMakeLists.txt after the program's install() rules.

set(BREVANE_PACKAGE_MAINTAINER "Brevane maintainers <maintainers@brevane.example>"
    CACHE STRING "Maintainer field of the Debian package: Name <address>")

# The changelog's latest entry and the AppStream release carry the project's version too; a
# release that bumps one and not the others would ship a package that contradicts itself.
file(STRINGS "${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/changelog" _brevane_changelog_top
     LIMIT_COUNT 1)
string(REGEX MATCH "\\(([^)]+)\\)" _brevane_match "${_brevane_changelog_top}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "packaging/debian/changelog's latest entry is ${CMAKE_MATCH_1}; "
                      "the project's version is ${PROJECT_VERSION}")
endif()
file(READ "${CMAKE_CURRENT_SOURCE_DIR}/packaging/org.example.brevane.metainfo.xml" _brevane_metainfo)
string(REGEX MATCH "<release version=\"([^\"]+)\"" _brevane_match "${_brevane_metainfo}")
if(NOT CMAKE_MATCH_1 STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "the AppStream metainfo's latest release is ${CMAKE_MATCH_1}; "
                      "the project's version is ${PROJECT_VERSION}")
endif()

# Debian's documentation files. The changelog is compressed without a time stamp so the package
# is the same on every build.
set(_brevane_doc_dir "${CMAKE_INSTALL_DATADIR}/doc/brevane")
set(_brevane_changelog_gz "${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz")
add_custom_command(
  OUTPUT "${_brevane_changelog_gz}"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_CURRENT_BINARY_DIR}/packaging"
  COMMAND gzip -9 -n -c "${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/changelog"
          > "${_brevane_changelog_gz}"
  DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/changelog"
  COMMENT "Compressing the Debian changelog"
  VERBATIM)
add_custom_target(brevane_changelog ALL DEPENDS "${_brevane_changelog_gz}")
install(FILES packaging/debian/copyright "${_brevane_changelog_gz}"
        DESTINATION "${_brevane_doc_dir}")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brevane)
set(CPACK_PACKAGE_VENDOR "Brevane maintainers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${BREVANE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control program for the USB X/Z scanning head")
# The long text, wrapped as the control file wants it.
set(CPACK_PACKAGE_DESCRIPTION_FILE "${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/description")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${BREVANE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/postinst")
# 0755 for the maintainer scripts, 0644 for the other control files, as dpkg and lintian expect.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
