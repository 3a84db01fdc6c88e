# What `make install` and the Debian package put under the prefix, and how CPack builds the
# package (scripts/package.sh).

install(FILES data/brimwatch.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES data/com.velkorlab.brimwatch.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Compressed as Debian wants them, reproducibly (no name or time in the gzip header).
set(packed ${CMAKE_BINARY_DIR}/packed)
foreach(file brimwatch.1 changelog)
    add_custom_command(OUTPUT ${packed}/${file}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${packed}
        COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/data/${file} > ${packed}/${file}.gz
        DEPENDS ${PROJECT_SOURCE_DIR}/data/${file})
    list(APPEND packed_files ${packed}/${file}.gz)
endforeach()
add_custom_target(brimwatch_docs ALL DEPENDS ${packed_files})
install(FILES ${packed}/brimwatch.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packed}/changelog.gz data/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME brimwatch)
set(CPACK_PACKAGE_VENDOR "Velkor Lab")
set(CPACK_PACKAGE_CONTACT "Velkor Lab <brimwatch@velkorlab.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Claude Code plan usage in the system tray")
# The summary above is the synopsis; this is the long description under it.
set(CPACK_PACKAGE_DESCRIPTION
    "Brimwatch shows how much of a Claude plan's limits Claude Code has used (the
session, weekly and per-model limits, with when each resets) in the system
tray, a panel and an optional desktop card. It reads them by running the
user's own claude tool in the background, and warns before a limit runs out.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # brimwatch_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://brimwatch.velkorlab.com/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded as plugins, so the binaries' links do not name them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
# Brimwatch reads what Claude Code prints; it installs from npm, not from Debian.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "claude-code")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
