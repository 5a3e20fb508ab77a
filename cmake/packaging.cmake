# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package that `make package` builds: what `cmake --install` installs, under /usr.
# The run-time libraries it depends on are found by dpkg-shlibdeps from the programs themselves,
# so the package names the libraries' Debian packages, never their -dev packages.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME settree)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "settree maintainers <maintainers@settree.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor and converter for hierarchies of GAMS set elements")
set(CPACK_PACKAGE_DESCRIPTION
    "settree keeps a classification (regions, sectors, products) as a tree of
GAMS set elements, each with an optional description and a weight, and shows
it side by side as indented element text (.tree) and as a tree grid. It
converts between the element text and parent-child tuples (.PC), edits the
tree directly, and reads the GAMS files of a classification catalog.

settree-convert converts between the two forms without a display.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The faces the window names (Arial, Courier New, Calibri) by their metric-compatible stand-ins.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2, fonts-crosextra-carlito")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
include(CPack)
