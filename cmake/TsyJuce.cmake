# JUCE, compiled once into a static library that the player, the provider, the tests and the
# benchmarks all link. The module targets carry JUCE's sources, so they are linked privately
# here and only their include paths and definitions travel on.
set(TSY_JUCE_MODULES
    juce_core
    juce_cryptography
    juce_data_structures
    juce_events
    juce_graphics
    juce_gui_basics
    juce_gui_extra)

find_package(Threads REQUIRED)

add_library(tsy_juce STATIC)
set_target_properties(tsy_juce PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)

set(TSY_JUCE_DEFINITIONS
    JUCE_USE_CURL=1
    JUCE_WEB_BROWSER=1
    JUCE_LOAD_CURL_SYMBOLS_LAZILY=0
    JUCE_DISPLAY_SPLASH_SCREEN=0
    JUCE_REPORT_APP_USAGE=0
    JUCE_USE_XRANDR=1
    JUCE_STANDALONE_APPLICATION=1
    JUCE_GLOBAL_MODULE_SETTINGS_INCLUDED=1
    JUCE_MODAL_LOOPS_PERMITTED=1
    JUCE_STRICT_REFCOUNTEDPOINTER=1
    LINUX=1)

# A module that needs a fix is copied from Debian's sources into the build folder and patched
# there (cmake/juce-patches/<module>.patch says what each patch mends); the module's target then
# compiles the copy, and the copy's headers come first on the include path.
set(TSY_JUCE_PATCHED_MODULES juce_events juce_gui_basics juce_gui_extra)
set(TSY_JUCE_PATCHED_ROOT "${CMAKE_BINARY_DIR}/juce-patched")
find_program(TSY_PATCH patch REQUIRED)

function(tsy_patch_juce_module module)
    set(patch_file "${CMAKE_SOURCE_DIR}/cmake/juce-patches/${module}.patch")
    get_target_property(modules_root ${module} INTERFACE_JUCE_MODULE_PATH)
    set(copy "${TSY_JUCE_PATCHED_ROOT}/${module}")
    set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${patch_file}")

    # Copied again only when the patch changed, so a new configure does not rebuild the module.
    file(SHA256 "${patch_file}" patch_hash)
    set(stamp "${copy}.patched")

    if(EXISTS "${stamp}")
        file(READ "${stamp}" applied_hash)
    endif()

    if(NOT applied_hash STREQUAL patch_hash)
        file(REMOVE_RECURSE "${copy}")
        file(COPY "${modules_root}/${module}" DESTINATION "${TSY_JUCE_PATCHED_ROOT}")
        execute_process(COMMAND "${TSY_PATCH}" --binary --forward --batch -p0 -i "${patch_file}"
                        WORKING_DIRECTORY "${TSY_JUCE_PATCHED_ROOT}"
                        RESULT_VARIABLE patch_result OUTPUT_VARIABLE patch_output ERROR_VARIABLE patch_output)

        if(NOT patch_result EQUAL 0)
            message(FATAL_ERROR "Patching JUCE's ${module} failed:\n${patch_output}")
        endif()

        file(WRITE "${stamp}" "${patch_hash}")
    endif()

    get_target_property(sources ${module} INTERFACE_SOURCES)
    list(TRANSFORM sources REPLACE "^${modules_root}/${module}/" "${copy}/")
    set_property(TARGET ${module} PROPERTY INTERFACE_SOURCES "${sources}")
endfunction()

foreach(module IN LISTS TSY_JUCE_PATCHED_MODULES)
    tsy_patch_juce_module(${module})
endforeach()

foreach(module IN LISTS TSY_JUCE_MODULES)
    target_link_libraries(tsy_juce PRIVATE juce::${module})
    list(APPEND TSY_JUCE_DEFINITIONS JUCE_MODULE_AVAILABLE_${module}=1)
endforeach()

# JUCE checks at link time that every unit agrees on debug or release, and on Linux it only
# looks at _DEBUG, so the definitions travel with the library.
target_compile_definitions(tsy_juce PUBLIC ${TSY_JUCE_DEFINITIONS}
    "$<IF:$<CONFIG:Debug>,DEBUG=1;_DEBUG=1,NDEBUG=1;_NDEBUG=1>")
target_include_directories(tsy_juce BEFORE PUBLIC "${TSY_JUCE_PATCHED_ROOT}")
target_include_directories(tsy_juce PUBLIC
    "$<TARGET_PROPERTY:juce::juce_core,INTERFACE_INCLUDE_DIRECTORIES>"
    "${CMAKE_SOURCE_DIR}/cmake/juce")

# The web browser's GTK and WebKit are opened by JUCE at run time (dlopen), in the browser's
# child process and when the first browser is made; only their headers are needed here. Linked,
# they would be loaded at every start, and WebKit's JavaScript library, which exports copies of
# some of the C++ library's string functions, would take those calls from the C++ library.
target_include_directories(tsy_juce SYSTEM PUBLIC
    "$<TARGET_PROPERTY:juce::pkgconfig_JUCE_BROWSER_LINUX_DEPS,INTERFACE_INCLUDE_DIRECTORIES>")
target_compile_options(tsy_juce PUBLIC
    "$<TARGET_PROPERTY:juce::pkgconfig_JUCE_BROWSER_LINUX_DEPS,INTERFACE_COMPILE_OPTIONS>")
target_link_libraries(tsy_juce
    PRIVATE juce::juce_recommended_config_flags
    PUBLIC juce::pkgconfig_JUCE_CURL_LINUX_DEPS
           juce::pkgconfig_JUCE_IMG_LINUX_DEPS
           Threads::Threads ${CMAKE_DL_LIBS} rt)


