# The program's libraries: one static library per source folder, each linking only the libraries
# below it. tsy_add_library records which folder each library compiles and which libraries it
# uses, so the layering test can check that no folder includes a header from a library above it.
#
# tsy_add_library(<name> FOLDER <folder> [DEPENDS <tsy libraries>...] [LIBRARIES <others>...]
#                 SOURCES <files>...)
function(tsy_add_library name)
    cmake_parse_arguments(ARG "" "FOLDER" "DEPENDS;LIBRARIES;SOURCES" ${ARGN})
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC "${CMAKE_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/generated")
    target_link_libraries(${name} PUBLIC tsy_juce ${ARG_DEPENDS} ${ARG_LIBRARIES})
    tsy_enable_warnings(${name})

    set_property(GLOBAL APPEND PROPERTY TSY_LIBRARIES ${name})
    set_property(GLOBAL PROPERTY TSY_LIBRARY_FOLDER_${name} "${ARG_FOLDER}")
    set_property(GLOBAL PROPERTY TSY_LIBRARY_DEPENDS_${name} "${ARG_DEPENDS}")
    set_property(GLOBAL PROPERTY TSY_LIBRARY_SOURCES_${name} "${ARG_SOURCES}")
endfunction()

# Every library with the libraries it reaches, directly or through others.
function(tsy_library_closure name out)
    set(seen)
    set(pending ${name})

    while(pending)
        list(POP_FRONT pending current)

        if(NOT current IN_LIST seen)
            list(APPEND seen ${current})
            get_property(deps GLOBAL PROPERTY TSY_LIBRARY_DEPENDS_${current})
            list(APPEND pending ${deps})
        endif()
    endwhile()

    set(${out} ${seen} PARENT_SCOPE)
endfunction()

# Writes, for the layering test, a script that sets for each library its folder, the folders it
# may use (its own and those of every library it reaches) and its sources.
function(tsy_write_layers file)
    get_property(libraries GLOBAL PROPERTY TSY_LIBRARIES)
    set(text "set(TSY_LIBRARIES \"${libraries}\")\n")

    foreach(library IN LISTS libraries)
        tsy_library_closure(${library} reachable)
        set(folders)

        foreach(other IN LISTS reachable)
            get_property(folder GLOBAL PROPERTY TSY_LIBRARY_FOLDER_${other})
            list(APPEND folders ${folder})
        endforeach()

        get_property(own GLOBAL PROPERTY TSY_LIBRARY_FOLDER_${library})
        get_property(sources GLOBAL PROPERTY TSY_LIBRARY_SOURCES_${library})
        string(APPEND text "set(TSY_FOLDER_${library} \"${own}\")\n"
                           "set(TSY_ALLOWED_${library} \"${folders}\")\n"
                           "set(TSY_SOURCES_${library} \"${sources}\")\n")
    endforeach()

    file(WRITE "${file}" "${text}")
endfunction()
