# `make package`: a Debian package of what `cmake --install` lays out, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kettlebox)
set(CPACK_PACKAGE_VENDOR "Kettlebox")
set(CPACK_PACKAGE_CONTACT "Kettlebox <support@kettlebox.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "personal collection of cooking recipes")
# Lines of at most 80 characters, as Debian's tools want them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Kettlebox Recipe keeps a personal collection of cooking recipes in one\n"
  "encrypted file: a tree of categories and recipe names, and the shown recipe's\n"
  "name, author, ingredients and instructions. Recipes can be added, edited,\n"
  "deleted and printed.")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://kettlebox.example")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KB_DEB_RELEASE})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# Library dependencies as dpkg-shlibdeps finds them in the programs.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Photos in WebP are read by a plugin that no library dependency brings in.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-image-formats-plugins")
# The Windows-style font the skinned controls are drawn with; without it Qt's default is used.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine")
include(CPack)
