# What a Debian package of the program holds: the player, tsy-provider with its sample library,
# the desktop entry and icons, and the two user manuals in the all-users data folder, built here
# from their text sources. CPack makes the package (scripts/package).
include(GNUInstallDirs)

find_program(TSY_GROFF groff REQUIRED)
find_program(TSY_RSVG_CONVERT rsvg-convert REQUIRED)

set(tsy_manuals_build "${CMAKE_BINARY_DIR}/manuals")
set(tsy_manual_outputs)

# File names with blanks make rules handle badly: the manuals get their real names on install.
foreach(language en it)
    set(source "${CMAKE_SOURCE_DIR}/player/manual/manual-${language}.ms")
    set(output "${tsy_manuals_build}/manual-${language}.pdf")
    add_custom_command(OUTPUT "${output}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${tsy_manuals_build}"
        COMMAND sh -c "\"$0\" -k -t -ms -Tpdf \"$1\" > \"$2\"" "${TSY_GROFF}" "${source}" "${output}"
        DEPENDS "${source}"
        COMMENT "Making the ${language} user manual"
        VERBATIM)
    list(APPEND tsy_manual_outputs "${output}")
endforeach()

set(tsy_icon_sizes 16 24 32 48 64 128 256)
set(tsy_icon_outputs)

foreach(size IN LISTS tsy_icon_sizes)
    set(output "${CMAKE_BINARY_DIR}/icons/${size}/tsy-player.png")
    add_custom_command(OUTPUT "${output}"
        COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/icons/${size}"
        COMMAND "${TSY_RSVG_CONVERT}" -w ${size} -h ${size} -o "${output}" "${CMAKE_SOURCE_DIR}/player/desktop/tsy-player.svg"
        DEPENDS "${CMAKE_SOURCE_DIR}/player/desktop/tsy-player.svg"
        VERBATIM)
    list(APPEND tsy_icon_outputs "${output}")
endforeach()

add_custom_target(tsy_manuals_and_icons ALL DEPENDS ${tsy_manual_outputs} ${tsy_icon_outputs})

# The all-users data folder: where the player looks for the manuals (ProjectInfo::installPrefix).
set(tsy_common_data "${CMAKE_INSTALL_DATADIR}/Tessaly/TSY-Player")

install(TARGETS tsy-player tsy-provider RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")
install(DIRECTORY "${CMAKE_SOURCE_DIR}/provider/sample/" DESTINATION "${CMAKE_INSTALL_DATADIR}/tsy-provider/sample")
install(FILES "${tsy_manuals_build}/manual-en.pdf" DESTINATION "${tsy_common_data}" RENAME "TSY-Player Manual.pdf")
install(FILES "${tsy_manuals_build}/manual-it.pdf" DESTINATION "${tsy_common_data}" RENAME "Manuale TSY-Player.pdf")
install(FILES "${CMAKE_SOURCE_DIR}/player/desktop/tsy-player.desktop" DESTINATION "${CMAKE_INSTALL_DATADIR}/applications")
install(FILES "${CMAKE_SOURCE_DIR}/player/desktop/tsy-player.svg" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps")

foreach(size IN LISTS tsy_icon_sizes)
    install(FILES "${CMAKE_BINARY_DIR}/icons/${size}/tsy-player.png" DESTINATION "${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps")
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tsy-player)
set(CPACK_PACKAGE_VENDOR Tessaly)
set(CPACK_PACKAGE_VERSION "${TSY_APP_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Player for the video courses of Tessaly, with the tsy-provider course service")
set(CPACK_PACKAGE_CONTACT "Tessaly <support@example.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

# WebKit, which shows the home and partners pages, loads its libraries and GTK by their
# development names at run time, which only the -dev packages provide; xdg-open opens the
# manuals and downloaded installers.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libwebkit2gtk-4.0-dev, libgtk-3-dev, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "TSY-Player shows the catalog of Tessaly's video courses, downloads\n chapters in a verified background queue, plays them with markers, favourites and seen\n marks, and searches the spoken words of every chapter. tsy-provider is the course service\n it talks to, with a sample course library.")

include(CPack)
