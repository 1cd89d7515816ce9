# CPack: two Debian packages from the components "kxvantor" and "kxserver", with the dependencies
# dpkg-shlibdeps finds in the programs and libraries.
set(KX_MAINTAINER "KX Vantor maintainers <packages@kestrix.example>")

# Documentation every Debian package carries: copyright and a changelog naming this version.
foreach(package kxvantor kxserver)
  set(KX_DEB_PACKAGE ${package})
  configure_file(changelog.in ${generated}/doc/${package}/changelog @ONLY)
  add_custom_command(OUTPUT ${generated}/doc/${package}/changelog.gz
    COMMAND ${KX_GZIP} -9nkf ${generated}/doc/${package}/changelog
    DEPENDS ${generated}/doc/${package}/changelog
    VERBATIM)
  add_custom_target(kx_changelog_${package} ALL DEPENDS ${generated}/doc/${package}/changelog.gz)
  install(FILES copyright ${generated}/doc/${package}/changelog.gz
          DESTINATION share/doc/${package} COMPONENT ${package})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kxvantor)
set(CPACK_PACKAGE_VENDOR Kestrix)
set(CPACK_PACKAGE_CONTACT ${KX_MAINTAINER})
set(CPACK_PACKAGE_VERSION ${KX_PACKAGE_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${KX_PREFIX})
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL kxvantor kxserver)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_KXVANTOR_PACKAGE_NAME kxvantor)
set(CPACK_DEBIAN_KXVANTOR_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_KXVANTOR_PACKAGE_PROVIDES "znerrhandler (= ${KX_ERROR_LIBRARY_VERSION})")
set(CPACK_DEBIAN_KXVANTOR_PACKAGE_RECOMMENDS "fontconfig, pkexec, xdg-utils")
set(CPACK_DEBIAN_KXVANTOR_DESCRIPTION
    "Launcher and self-updater of the Kestrix business applications
KX Vantor logs a user in with Filer Code, Login and Password, brings every
outdated file of the chosen deployment up to date and starts its application.

The package also holds the error library ZNErrHandler, the compression and
white-label components (registered in the machine registry), the tools
regsvr32, kxreg, kxrowset and kxdiag, and the launcher's barcode fonts.")
set(CPACK_DEBIAN_KXVANTOR_PACKAGE_CONTROL_EXTRA
    "${generated}/kxvantor/postinst;${generated}/kxvantor/prerm;${generated}/kxvantor/postrm")

set(CPACK_DEBIAN_KXSERVER_PACKAGE_NAME kxserver)
set(CPACK_DEBIAN_KXSERVER_PACKAGE_SECTION net)
set(CPACK_DEBIAN_KXSERVER_PACKAGE_DEPENDS "adduser")
set(CPACK_DEBIAN_KXSERVER_DESCRIPTION
    "Kestrix reference business-object service and vendor web server
kxserver answers the remote calls of KX Vantor, serves the install files of
its deployments and stores the error reports of ZNErrHandler, from a SQLite
catalog. The package runs it as the systemd service kxserver.service and
carries the demo application that its demo catalog publishes.")
set(CPACK_DEBIAN_KXSERVER_PACKAGE_CONTROL_EXTRA
    "${CMAKE_CURRENT_SOURCE_DIR}/kxserver/conffiles;${generated}/kxserver/postinst;${generated}/kxserver/prerm;${generated}/kxserver/postrm")

include(CPack)
