cmake_minimum_required(VERSION 3.22)

# The layering test: no library may include a header of a library it does not link.
# Run as cmake -DLAYERS=<file> -DSOURCE_DIR=<dir> -P CheckLayers.cmake, where LAYERS is the
# script the configure step writes (cmake/TsyLibraries.cmake). A library's files are its
# sources and the headers of its folder, except headers whose source file belongs to something
# else.
include("${LAYERS}")

set(all_folders)

foreach(library IN LISTS TSY_LIBRARIES)
    list(APPEND all_folders "${TSY_FOLDER_${library}}")
endforeach()

set(violations "")
set(checked 0)

foreach(library IN LISTS TSY_LIBRARIES)
    set(folder "${TSY_FOLDER_${library}}")
    set(files)

    foreach(source IN LISTS TSY_SOURCES_${library})
        if(NOT IS_ABSOLUTE "${source}")
            list(APPEND files "${SOURCE_DIR}/${folder}/${source}")
        endif()
    endforeach()

    file(GLOB headers "${SOURCE_DIR}/${folder}/*.h")

    foreach(header IN LISTS headers)
        string(REGEX REPLACE "\\.h$" ".cpp" companion "${header}")

        if(NOT EXISTS "${companion}" OR companion IN_LIST files)
            list(APPEND files "${header}")
        endif()
    endforeach()

    foreach(file IN LISTS files)
        math(EXPR checked "${checked} + 1")
        file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]+\"[^\"]+\"")

        foreach(include IN LISTS includes)
            string(REGEX REPLACE "^[^\"]*\"([^\"]+)\".*$" "\\1" included "${include}")
            get_filename_component(included_folder "${included}" DIRECTORY)

            if(included_folder IN_LIST all_folders AND NOT included_folder IN_LIST TSY_ALLOWED_${library})
                file(RELATIVE_PATH where "${SOURCE_DIR}" "${file}")
                string(APPEND violations "  ${where} includes ${included}, but ${library} does not link the library of ${included_folder}\n")
            endif()
        endforeach()
    endforeach()
endforeach()

if(violations)
    message(FATAL_ERROR "Headers included against the library order:\n${violations}")
endif()

list(LENGTH TSY_LIBRARIES count)
message(STATUS "${count} libraries, ${checked} files: every include follows the library order")
