# CPack: a Debian package of everything `cmake --install` puts in place, under /usr. Its library
# dependencies are read from the executables by dpkg-shlibdeps (Debian package dpkg-dev); the
# window-system plugins and the Japanese fonts are loaded at run time, so they are named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rpn-workbench)
set(CPACK_PACKAGE_VENDOR "RPN Workbench developers")
set(CPACK_PACKAGE_CONTACT "RPN Workbench developers <rpn-workbench@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${RPN_HOMEPAGE}")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Watch, move by move, how an infix expression becomes reverse Polish notation on an
operator-priority stack, how it runs on a value stack, how it is translated into
object code for a small pseudo machine and optimised, and how pseudo-assembler is
assembled and executed on a machine with 16 registers and 201 words of memory.
The user interface is in Japanese.")
set(CPACK_SOURCE_IGNORE_FILES "/build/;/\\\\.git/")
include(CPack)
