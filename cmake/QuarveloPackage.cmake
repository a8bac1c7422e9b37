# The Debian package: everything `cmake --install` lays out, with the libraries the binary
# needs found by dpkg-shlibdeps, plus what the program needs at run time that no library link
# shows: a General MIDI soundfont and the window's font.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarvelo)
set(CPACK_PACKAGE_VENDOR "The Quarvelo developers")
set(CPACK_PACKAGE_CONTACT "Quarvelo developers <quarvelo@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "see and hear the three forms of the minor scale")
set(CPACK_PACKAGE_DESCRIPTION
    "Quarvelo shows the natural, harmonic and melodic minor scales in each of the fifteen minor
keys, as grids of Portuguese note names laid out by semitone under the names or numbers of the
scale degrees, and plays each form on a piano. For music students and their teachers.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quarvelo.example.org/)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "timgm6mb-soundfont | sf2-soundfont-gm, fonts-liberation, qt6-qpa-plugins")
set(CPACK_STRIP_FILES ON)
include(CPack)
