# The Debian package: cpack -G DEB from a Release build (scripts/package). The package's
# Depends come from the libraries the programs link (dpkg-shlibdeps).
set(VENDRIX_DEB_DOC ${CMAKE_INSTALL_DOCDIR})
configure_file(${PROJECT_SOURCE_DIR}/share/debian/changelog.in
               ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/debian/changelog.gz
  COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/debian/changelog
  DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog)
add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/debian/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/debian/changelog.gz
              ${PROJECT_SOURCE_DIR}/share/debian/copyright
        DESTINATION ${VENDRIX_DEB_DOC})

set(CPACK_PACKAGE_NAME vendrix)
set(CPACK_PACKAGE_VENDOR Halvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Halvane <vendrix@halvane.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "submit your software to download sites")
# The long description; CPack puts the summary above it as the synopsis, indents each
# line and turns the empty line into the paragraph mark.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Vendrix is a desktop tool for software authors who distribute their programs
through download sites. It keeps company and application profiles and a
catalogue of download sites; for each site it knows how the site takes
submissions (a web form, an FTP upload with an optional zip and text file, an
e-mail with attachments), written as small scripts filled from the profiles.

A submission run posts one application to every marked site, logs each step
and leaves HTML reports. The package holds the desktop program vendrix, the
command-line program vendrix-cli, the user manual and the manual pages.")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.halvane.com/vendrix/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "ca-certificates")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
