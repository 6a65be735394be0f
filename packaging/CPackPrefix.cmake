# Read by cpack for each package it makes (CPACK_PROJECT_CONFIG_FILE): the Debian package installs
# the tree under /usr, the archive holds the tree itself below its top directory.
if(CPACK_GENERATOR STREQUAL "DEB")
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
else()
    set(CPACK_PACKAGING_INSTALL_PREFIX /)
endif()
