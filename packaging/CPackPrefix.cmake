# Read by cpack for each package it makes (CPACK_PROJECT_CONFIG_FILE): the Debian packages install
# their trees under /usr, the archive holds the game's tree itself below its top directory.
if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    # Each component's description carries its own summary line; the common one would be
    # put in front of both.
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "")
else()
    set(CPACK_PACKAGING_INSTALL_PREFIX /)
    # The archive is the game's tree alone, under the name it always had.
    set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
    set(CPACK_COMPONENTS_ALL Game)
    set(CPACK_ARCHIVE_GAME_FILE_NAME "${CPACK_PACKAGE_FILE_NAME}")
    set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY ON)
endif()
