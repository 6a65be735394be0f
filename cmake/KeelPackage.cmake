# The engine as a kit for other programs, under the name keel: its install tree (the
# Development component, beside the game's), the CMake package and the pkg-config file, the
# API reference, and the Debian development package's settings (Packaging.cmake makes it in
# the same CPack run as the game's).
#
#   include/keel/engine/<subsystem>/   the public headers, included as <engine/<subsystem>/X.h>
#   lib/<arch>/libkeel.a               the library (<arch>: x86_64-linux-gnu and the like, as
#                                      Debian places what differs by machine)
#   lib/<arch>/libkeel-tiled.a         the Tiled map reader, a library of its own
#   lib/<arch>/cmake/Keel/             find_package(Keel CONFIG): Keel::engine, and
#                                      Keel::tiled with COMPONENTS tiled
#   lib/<arch>/pkgconfig/keel.pc       pkg-config keel, and keel-tiled
#   share/doc/libkeel-dev/             copyright, changelog, the reference (html/) and the
#                                      examples with their assets (examples/)
#   share/keel/sanitizers/             what a game's own sanitizer build needs to see only
#                                      its own leaks: the suppressions and the dlclose

set(KEEL_VERSION 0.1.0)
set(keel_doc share/doc/libkeel-dev)
set(KEEL_SANITIZER_DIR share/keel/sanitizers)
if(CMAKE_LIBRARY_ARCHITECTURE)
    set(keel_libdir lib/${CMAKE_LIBRARY_ARCHITECTURE})
else()
    set(keel_libdir lib)
endif()
set(keel_out ${PROJECT_BINARY_DIR}/keel)

# The API reference: Doxygen over the public headers, with graphviz for the diagrams. Built
# with everything when Doxygen is there, so that the package holds it.
find_program(DOXYGEN_PROGRAM doxygen)
# A public class or function without a line of reference fails the build (docs/Doxyfile).
file(GLOB_RECURSE keel_headers CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/engine/include/*.h)
if(DOXYGEN_PROGRAM)
    file(WRITE ${keel_out}/Doxyfile.build
        "@INCLUDE = ${PROJECT_SOURCE_DIR}/docs/Doxyfile\n"
        "OUTPUT_DIRECTORY = ${keel_out}/reference\n")
    add_custom_command(OUTPUT ${keel_out}/reference/html/index.html
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${keel_out}/reference
        COMMAND ${DOXYGEN_PROGRAM} ${keel_out}/Doxyfile.build
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        DEPENDS ${keel_headers} ${PROJECT_SOURCE_DIR}/docs/Doxyfile
            ${PROJECT_SOURCE_DIR}/docs/mainpage.md
        COMMENT "API reference (doxygen)")
    # The sanitizer and fuzz builds package nothing.
    if(GAME_SANITIZE OR GAME_TSAN OR GAME_FUZZ)
        add_custom_target(docs DEPENDS ${keel_out}/reference/html/index.html)
    else()
        add_custom_target(docs ALL DEPENDS ${keel_out}/reference/html/index.html)
    endif()
else()
    add_custom_target(docs COMMAND ${CMAKE_COMMAND} -E echo
        "The API reference needs Doxygen and graphviz (Debian: doxygen graphviz)."
        COMMAND false)
endif()

# Nothing to export from the sanitizer and fuzz builds, whose programs keep an object of
# their own in every link; no one installs them.
if(GAME_SANITIZE OR GAME_TSAN OR GAME_FUZZ)
    return()
endif()

install(TARGETS engine EXPORT KeelTargets ARCHIVE DESTINATION ${keel_libdir} COMPONENT Development)
# The map reader apart, so that find_package(Keel) looks for its libraries only when a program
# asks for it.
install(TARGETS engine_tiled EXPORT KeelTiledTargets ARCHIVE DESTINATION ${keel_libdir}
    COMPONENT Development)
# As dh_strip does for static libraries: no debug information, no compiler notes.
if(CMAKE_STRIP)
    set(strip_code [[
        if(CMAKE_INSTALL_DO_STRIP)
            foreach(name libkeel.a libkeel-tiled.a)
                set(library "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/@keel_libdir@/${name}")
                execute_process(COMMAND "@CMAKE_STRIP@" --strip-debug --remove-section=.comment
                    --remove-section=.note --enable-deterministic-archives "${library}"
                    RESULT_VARIABLE status)
                if(NOT status EQUAL 0)
                    message(FATAL_ERROR "could not strip ${library}")
                endif()
            endforeach()
        endif()
    ]])
    string(CONFIGURE "${strip_code}" strip_code @ONLY)
    install(CODE "${strip_code}" COMPONENT Development)
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/engine/include/engine DESTINATION include/keel
    COMPONENT Development FILES_MATCHING PATTERN "*.h")
install(EXPORT KeelTargets NAMESPACE Keel:: DESTINATION ${keel_libdir}/cmake/Keel COMPONENT Development)
install(EXPORT KeelTiledTargets NAMESPACE Keel:: DESTINATION ${keel_libdir}/cmake/Keel
    COMPONENT Development)

include(CMakePackageConfigHelpers)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/KeelConfig.cmake.in
    ${keel_out}/KeelConfig.cmake INSTALL_DESTINATION ${keel_libdir}/cmake/Keel
    PATH_VARS KEEL_SANITIZER_DIR)
write_basic_package_version_file(${keel_out}/KeelConfigVersion.cmake VERSION ${KEEL_VERSION}
    COMPATIBILITY SameMinorVersion)
install(FILES ${keel_out}/KeelConfig.cmake ${keel_out}/KeelConfigVersion.cmake
    DESTINATION ${keel_libdir}/cmake/Keel COMPONENT Development)
# The prefix is found from the file's own place, so that the tree may move.
file(RELATIVE_PATH KEEL_PC_PREFIX /prefix/${keel_libdir}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" KEEL_PC_PREFIX "${KEEL_PC_PREFIX}")
set(KEEL_LIBDIR ${keel_libdir})
foreach(pc keel keel-tiled)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/${pc}.pc.in ${keel_out}/${pc}.pc @ONLY)
    install(FILES ${keel_out}/${pc}.pc DESTINATION ${keel_libdir}/pkgconfig COMPONENT Development)
endforeach()

# A game built with -fsanitize=address meets the same leak reports of SDL, D-Bus and Mesa as
# this tree's tests; the same two files answer them. The dlclose as C++, which every user of
# the kit compiles (the source is valid in both).
install(FILES ${PROJECT_SOURCE_DIR}/tests/support/lsan.supp DESTINATION ${KEEL_SANITIZER_DIR}
    COMPONENT Development)
install(FILES ${PROJECT_SOURCE_DIR}/tests/support/lsan_keep_libraries.c
    DESTINATION ${KEEL_SANITIZER_DIR} RENAME lsan_keep_libraries.cpp COMPONENT Development)

# The examples as a project of their own, with their assets and pictures.
install(FILES ${PROJECT_SOURCE_DIR}/examples/CMakeLists.txt ${PROJECT_SOURCE_DIR}/examples/README.md
    DESTINATION ${keel_doc}/examples COMPONENT Development)
file(GLOB keel_example_sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/examples/*.cpp)
install(FILES ${keel_example_sources} DESTINATION ${keel_doc}/examples COMPONENT Development)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/assets ${PROJECT_SOURCE_DIR}/examples/shots
    DESTINATION ${keel_doc}/examples COMPONENT Development PATTERN ".*" EXCLUDE)

if(DOXYGEN_PROGRAM)
    install(DIRECTORY ${keel_out}/reference/html DESTINATION ${keel_doc} COMPONENT Development)
endif()

# The changelog compressed as Debian wants it (see Packaging.cmake).
find_program(GZIP_PROGRAM gzip REQUIRED)
execute_process(COMMAND ${GZIP_PROGRAM} -9 -n -c ${PROJECT_SOURCE_DIR}/packaging/keel/changelog
    OUTPUT_FILE ${keel_out}/changelog.gz RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "gzip packaging/keel/changelog failed")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/packaging/keel/changelog)
install(FILES ${keel_out}/changelog.gz ${PROJECT_SOURCE_DIR}/packaging/keel/copyright
    DESTINATION ${keel_doc} COMPONENT Development)

# The Debian package libkeel-dev. A static library hides from dpkg-shlibdeps what it links,
# so its dependencies are the -dev packages of the engine's libraries, named here.
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libkeel-dev)
set(CPACK_DEBIAN_DEVELOPMENT_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SHLIBDEPS OFF)
string(JOIN ", " CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
    libsdl2-dev libglew-dev libgl-dev libfreetype-dev libfontconfig-dev libglm-dev libstb-dev
    pkg-config
    # the Tiled map reader's
    libpugixml-dev zlib1g-dev libzstd-dev nlohmann-json3-dev)
set(CPACK_COMPONENT_DEVELOPMENT_DISPLAY_NAME "Keel development files")
string(JOIN "\n" CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
    "compact 2D game engine for C++ (static libraries and headers)"
    "Keel is a small engine for side-view 2D games in C++20: an entity-component"
    "registry with systems, a fixed-step loop, sprites, sprite-sheet animation,"
    "tile maps and text drawn with OpenGL, rectangle physics, and WAV audio"
    "through SDL2. A second library reads maps made with the Tiled editor (TMX"
    "and JSON) and draws their tile layers."
    ""
    "This package holds the headers, the static libraries, the files for CMake's"
    "find_package(Keel) and for pkg-config, the API reference, and examples with"
    "their assets.")
