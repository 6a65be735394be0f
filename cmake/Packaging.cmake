# The game as players install it: `cmake --install <build> --prefix <dir>` lays out a tree that
# works under any prefix, and `cpack` in the build directory makes a Debian package of it (under
# /usr) and a .tar.gz of the tree. Only the game, its content and the desktop files go in.
#
#   games/sailhop                       the command: runs the program from share/sailhop, where
#                                       ./Assets is (packaging/sailhop.sh)
#   lib/sailhop/sailhop                 the program (the game target); named like the package
#                                       because SDL gives the window the program's name as its
#                                       class, which desktops match to sailhop.desktop
#   share/sailhop/Assets/               the content, as in the repository
#   share/applications/, icons/, metainfo/, man/man6/, doc/sailhop/

set(SAILHOP_VERSION 0.1.0)
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
# The game's files are the Game component; the engine's for developers are the Development
# component (KeelPackage.cmake), packaged in the same CPack run.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME Game)

install(PROGRAMS $<TARGET_FILE:game> DESTINATION lib/sailhop RENAME sailhop)
# install(TARGETS) would strip on --strip and in the packages, but cannot rename.
if(CMAKE_STRIP)
    set(strip_code [[
        if(CMAKE_INSTALL_DO_STRIP)
            set(program "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/lib/sailhop/sailhop")
            # As dh_strip does: the compiler's notes are of no use either.
            execute_process(COMMAND "@CMAKE_STRIP@" --remove-section=.comment
                --remove-section=.note "${program}" RESULT_VARIABLE status)
            if(NOT status EQUAL 0)
                message(FATAL_ERROR "could not strip ${program}")
            endif()
        endif()
    ]])
    string(CONFIGURE "${strip_code}" strip_code @ONLY)
    install(CODE "${strip_code}")
endif()
install(PROGRAMS ${packaging}/sailhop.sh DESTINATION games RENAME sailhop)
# Hidden files are an editor's leftovers, not content.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/Assets DESTINATION share/sailhop PATTERN ".*" EXCLUDE)

install(FILES ${packaging}/sailhop.desktop DESTINATION share/applications)
foreach(size 48 64 128 256)
    install(FILES ${packaging}/icons/sailhop-${size}.png
        DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME sailhop.png)
endforeach()
# Installed under its component id, which the file itself names.
file(STRINGS ${packaging}/sailhop.metainfo.xml id_line REGEX "<id>.*</id>" LIMIT_COUNT 1)
string(REGEX REPLACE ".*<id>(.*)</id>.*" "\\1" appstream_id "${id_line}")
install(FILES ${packaging}/sailhop.metainfo.xml DESTINATION share/metainfo
    RENAME ${appstream_id}.metainfo.xml)
install(FILES ${packaging}/copyright DESTINATION share/doc/sailhop)

# Debian wants the manual page and the changelog compressed, without a name or time in the gzip
# header so that every build gives the same bytes. Made when the build is configured, so that
# installing needs nothing built but the game.
find_program(GZIP_PROGRAM gzip REQUIRED)
foreach(file sailhop.6 changelog)
    set(gz ${PROJECT_BINARY_DIR}/packaging/${file}.gz)
    file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/packaging)
    execute_process(COMMAND ${GZIP_PROGRAM} -9 -n -c ${packaging}/${file}
        OUTPUT_FILE ${gz} RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "gzip ${packaging}/${file} failed")
    endif()
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${packaging}/sailhop.6
    ${packaging}/changelog ${packaging}/sailhop.metainfo.xml)
install(FILES ${PROJECT_BINARY_DIR}/packaging/sailhop.6.gz DESTINATION share/man/man6)
install(FILES ${PROJECT_BINARY_DIR}/packaging/changelog.gz DESTINATION share/doc/sailhop)

set(CPACK_PACKAGE_NAME sailhop)
set(CPACK_PACKAGE_VERSION ${SAILHOP_VERSION})
set(CPACK_PACKAGE_VENDOR "The Sailhop developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "steer a little boat across a side-view platform level")
# Debian shows the description as it is: lines under 80 columns, an empty line between paragraphs.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "A small side-view platformer: you steer a little boat across a tiled level."
    "Run, jump, ride the rising draughts and get over the spiky fish that patrols"
    "the middle of the level, to a looping piano tune."
    ""
    "A and D run left and right, SPACE jumps; closing the window quits. The game"
    "draws with OpenGL and plays its music through SDL2.")
set(CPACK_GENERATOR "DEB;TGZ")
# One Debian package a component, the game's named and made as before; the archive holds the
# game alone (CPackPrefix.cmake).
set(CPACK_COMPONENTS_ALL Game Development)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_GAME_PACKAGE_NAME sailhop)
set(CPACK_DEBIAN_GAME_FILE_NAME DEB-DEFAULT)
# Each package's description starts with its own summary line.
set(CPACK_DEBIAN_GAME_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}\n${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "${CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION}")
set(CPACK_STRIP_FILES TRUE)
# The Debian package lives under /usr, the archive holds the tree itself; cpack reads this file
# once per generator.
set(CPACK_PROJECT_CONFIG_FILE ${packaging}/CPackPrefix.cmake)

if(NOT DEFINED CPACK_DEBIAN_PACKAGE_MAINTAINER)
    set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Sailhop developers <sailhop@example.org>")
endif()
set(CPACK_DEBIAN_GAME_PACKAGE_SECTION games)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Depends: from the libraries the program links, through dpkg-shlibdeps (dpkg-dev).
set(CPACK_DEBIAN_GAME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
