cmake_minimum_required(VERSION 3.22)

# The layering test's own check: on a copy of the libraries' folders where one feature library
# includes a header of a sibling (search of playback), the layering test must fail and name it.
# Run as cmake -DLAYERS=<file> -DSOURCE_DIR=<dir> -DWORK_DIR=<dir> -P CheckLayersCatches.cmake.
include("${LAYERS}")

file(REMOVE_RECURSE "${WORK_DIR}")

foreach(library IN LISTS TSY_LIBRARIES)
    set(folder "${TSY_FOLDER_${library}}")
    file(GLOB sources "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
    file(COPY ${sources} DESTINATION "${WORK_DIR}/${folder}")
endforeach()

set(culprit "${WORK_DIR}/search/SearchPanel.cpp")
file(APPEND "${culprit}" "\n#include \"playback/MoviePanel.h\"\n")

execute_process(COMMAND "${CMAKE_COMMAND}" -DLAYERS=${LAYERS} -DSOURCE_DIR=${WORK_DIR} -P "${CMAKE_CURRENT_LIST_DIR}/CheckLayers.cmake"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
file(REMOVE_RECURSE "${WORK_DIR}")

if(result EQUAL 0)
    message(FATAL_ERROR "search including playback passed the layering test:\n${output}")
endif()

if(NOT output MATCHES "search/SearchPanel.cpp includes playback/MoviePanel.h, but tsy_search does not link")
    message(FATAL_ERROR "the layering test failed without naming the upward include:\n${output}")
endif()

message(STATUS "an include of a sibling library is caught")
