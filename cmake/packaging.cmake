# Release packages, made by `cmake --build DIR --target package`:
#   MinGW builds  tarquel-VERSION-win64.zip / -win32.zip: both programs, the help
#                 document, README.md and LICENSE side by side (the program opens
#                 the help document from its own folder);
#   native build  tarquel-cli_VERSION_ARCH.deb: the command-line program in
#                 /usr/bin, README.md and the licence in /usr/share/doc/tarquel-cli.
# The install rules of cli/ and ui/ put the programs in TARQUEL_INSTALL_BINDIR.
set(CPACK_PACKAGE_VENDOR "The Tarquel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "three-parameter Weibull analysis of failure times")
set(CPACK_PACKAGE_DESCRIPTION
  "Tarquel fits a three-parameter Weibull distribution to failure (life) times\n\
read from a plain text file: the shape m by maximum likelihood, the scale t0 and\n\
the location gamma (typed, or searched on the curvature of the Weibull plot),\n\
with the expected value, median, mode and variance of the fit, and a text\n\
report of the Weibull-plot coordinates of every point.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(tarquelPlatform win64)
  else()
    set(tarquelPlatform win32)
  endif()
  set(TARQUEL_INSTALL_BINDIR .)
  set(tarquelDocDir .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_NAME tarquel)
  set(CPACK_PACKAGE_FILE_NAME tarquel-${PROJECT_VERSION}-${tarquelPlatform})
  # Flat: Windows' "Extract All" already makes a folder named after the zip.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${tarquelDocDir})
else()
  set(TARQUEL_INSTALL_BINDIR bin)
  set(tarquelDocDir share/doc/tarquel-cli)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME tarquel-cli)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(TARQUEL_MAINTAINER "The Tarquel developers" CACHE STRING
      "Maintainer field of the Debian package")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARQUEL_MAINTAINER}")
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Depends (libc6, libstdc++6, libgcc-s1) as dpkg-shlibdeps reads them
  # from the binary.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # Debian keeps a package's licence as /usr/share/doc/PACKAGE/copyright.
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${tarquelDocDir} RENAME copyright)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${tarquelDocDir})

include(CPack)
