# check_architecture_picture(<dot file> <engine dir> <examples dir>): stops with
# an error naming every subsystem folder of the engine (include/engine/* and
# src/*) and every example (examples/*.cpp) that has no node of its own name in
# the picture's source, so that the picture cannot fall behind the tree.
# Also runs as a script:
#   cmake -DDOT=<file> -DENGINE_DIR=<dir> -DEXAMPLES_DIR=<dir> -P ArchitecturePicture.cmake
function(check_architecture_picture dot engine examples)
    file(READ "${dot}" source)
    file(GLOB parts LIST_DIRECTORIES true "${engine}/include/engine/*" "${engine}/src/*")
    file(GLOB programs "${examples}/*.cpp")
    set(names "")
    foreach(part ${parts})
        if(IS_DIRECTORY "${part}")
            get_filename_component(name "${part}" NAME)
            list(APPEND names "${name}")
        endif()
    endforeach()
    foreach(program ${programs})
        get_filename_component(name "${program}" NAME_WE)
        list(APPEND names "${name}")
    endforeach()
    list(REMOVE_DUPLICATES names)
    set(missing "")
    foreach(name ${names})
        # A node statement: the name at the start of a line, then its
        # attributes or the end of the statement.
        if(NOT source MATCHES "(^|\n)[ \t]*${name}[ \t]*(\\[|;)")
            string(APPEND missing " ${name}")
        endif()
    endforeach()
    if(missing)
        message(FATAL_ERROR "${dot} has no node for:${missing}; add one named as the folder "
                            "or example, and render the picture again (see its first lines)")
    endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND DOT)
    check_architecture_picture("${DOT}" "${ENGINE_DIR}" "${EXAMPLES_DIR}")
endif()
