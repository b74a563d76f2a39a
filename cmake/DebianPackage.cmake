# SPDX-License-Identifier: MIT
# The Debian package of an installation: `cmake --build --preset release --target package`
# (or scripts/package) writes lexwick_<version>_amd64.deb into the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lexwick)
set(CPACK_PACKAGE_VENDOR "The Lexwick authors")
set(CPACK_PACKAGE_CONTACT "The Lexwick authors <lexwick@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "writing assistant in the tray: correct, paraphrase, explain")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Lexwick lives in the tray. Type or paste a piece of text into its popover, choose Correct,\n"
    "Paraphrase (in one of eight tones) or Explain, and the answer of a language model comes\n"
    "back, ready to copy. The same actions work on text selected in any application, from a\n"
    "keyboard shortcut or the lexwick command. The model runs on this machine through a local\n"
    "model server, or at a cloud provider with your own API key, kept in the system keyring.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/lexwick/lexwick)
# What the binaries link, found by dpkg-shlibdeps; and what Qt loads at run time although
# nothing links it: the QML modules the screens import, the SVG icon engine (else every icon
# is empty), the Wayland platform plugin, and a font for the text.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qml6-module-qtqml, qml6-module-qtqml-workerscript, qml6-module-qtquick, qml6-module-qtquick-controls, qml6-module-qtquick-layouts, qml6-module-qtquick-templates, qml6-module-qtquick-window, libqt6svg6, qt6-wayland, fonts-dejavu-core | fonts-liberation2 | fonts-noto-core")
# Desktop notifications announce results of the selection's actions; D-Bus activation of the
# command needs a session bus; keys go to a Secret Service where one runs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "notification-daemon, dbus-user-session, gnome-keyring | kwalletmanager | keepassxc")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES /build/ /\\.git/)
include(CPack)
