# check_engine_boundary(<engine dir>): stops with an error naming every file
# under the engine that includes a header of the game or of the examples, or
# names the game's content: its assets, its types, its keys, its tile codes.
# Also runs as a script: cmake -DENGINE_DIR=<dir> -P EngineBoundary.cmake
function(check_engine_boundary dir)
    set(rules
        "#include[ \t]*[\"<](game|examples)/"
        "#include[ \t]*[\"<](Scene|Level|Controller|ControllerSystem|Enemy|EnemySystem|Tuning)[.]h[\">]"
        "Assets/|boat|fish|level1|piano2|SGK100|tiles[.]png|basic[.]shader"
        "(^|[^A-Za-z_])(Controller|ControllerSystem|Enemy|EnemySystem|GameScene|Tuning|LevelData|IsDraught|KeyLeft|KeyRight|KeyJump)([^A-Za-z_]|$)"
        "[Dd]raught")
    file(GLOB_RECURSE files "${dir}/*.h" "${dir}/*.cpp" "${dir}/*.c" "${dir}/*.txt")
    set(found "")
    foreach(file ${files})
        # One list item a line: characters that CMake's lists treat specially
        # are replaced first; none of them matters to the rules.
        file(READ "${file}" content)
        string(REGEX REPLACE "[][;\\]" "_" content "${content}")
        string(REPLACE "\n" ";" lines "${content}")
        set(n 0)
        foreach(line IN LISTS lines)
            math(EXPR n "${n} + 1")
            foreach(rule ${rules})
                if(line MATCHES "${rule}")
                    file(RELATIVE_PATH rel "${dir}/.." "${file}")
                    string(APPEND found "\n  ${rel}:${n}: ${line}")
                    break()
                endif()
            endforeach()
        endforeach()
    endforeach()
    if(found)
        message(FATAL_ERROR "The engine must not know the game; these lines name it:${found}")
    endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE AND ENGINE_DIR)
    check_engine_boundary("${ENGINE_DIR}")
endif()
