# Fails when a source file includes from a folder above its own. The folders
# build on one another in this order; a file may include from its own folder
# and from those below it. Every target sees the top of the tree, so the
# compiler alone would not notice an include running back up.
#
#   cmake -DSOURCE_DIR=<top of the tree> -P tests/layers.cmake

set(layers base views records schedule calendar project gui app)

set(found "")
list(LENGTH layers count)
math(EXPR last "${count} - 1")
foreach(rank RANGE ${last})
    list(GET layers ${rank} folder)
    file(GLOB_RECURSE sources "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
    foreach(source IN LISTS sources)
        file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"/]+)/.*$" "\\1" target "${line}")
            list(FIND layers "${target}" targetRank)
            if(targetRank GREATER rank)
                file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
                string(APPEND found "  ${shown}: ${line}\n")
            endif()
        endforeach()
    endforeach()
endforeach()

if(found)
    list(JOIN layers " < " order)
    message(FATAL_ERROR "Includes that run up the layers (${order}):\n${found}")
endif()
