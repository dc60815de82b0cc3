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

foreach(module IN LISTS TSY_JUCE_MODULES)
    target_link_libraries(tsy_juce PRIVATE juce::${module})
    list(APPEND TSY_JUCE_DEFINITIONS JUCE_MODULE_AVAILABLE_${module}=1)
endforeach()

# JUCE checks at link time that every unit agrees on debug or release, and on Linux it only
# looks at _DEBUG, so the definitions travel with the library.
target_compile_definitions(tsy_juce PUBLIC ${TSY_JUCE_DEFINITIONS}
    "$<IF:$<CONFIG:Debug>,DEBUG=1;_DEBUG=1,NDEBUG=1;_NDEBUG=1>")
target_include_directories(tsy_juce PUBLIC
    "$<TARGET_PROPERTY:juce::juce_core,INTERFACE_INCLUDE_DIRECTORIES>"
    "${CMAKE_SOURCE_DIR}/cmake/juce")

target_link_libraries(tsy_juce
    PRIVATE juce::juce_recommended_config_flags
    PUBLIC juce::pkgconfig_JUCE_CURL_LINUX_DEPS
           juce::pkgconfig_JUCE_BROWSER_LINUX_DEPS
           juce::pkgconfig_JUCE_IMG_LINUX_DEPS
           Threads::Threads ${CMAKE_DL_LIBS} rt)


