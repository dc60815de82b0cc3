# Helpers shared by the tests and the benchmarks: local HTTP servers, the real provider in a
# child process, generated course libraries. Header-only helpers in common/ travel with it.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
add_library(tsy_test_support STATIC
    ${CMAKE_CURRENT_LIST_DIR}/common/TestHttpServer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/downloads/FaultServer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/provider/NginxProcess.cpp
    ${CMAKE_CURRENT_LIST_DIR}/provider/ProviderProcess.cpp
    ${CMAKE_CURRENT_LIST_DIR}/provider/RawHttpConnection.cpp
    ${CMAKE_CURRENT_LIST_DIR}/provider/TestLibraryWriter.cpp)
target_include_directories(tsy_test_support PUBLIC "${CMAKE_SOURCE_DIR}")
target_link_libraries(tsy_test_support PUBLIC tsy_juce PRIVATE PkgConfig::HTTPLIB OpenSSL::Crypto)
target_compile_definitions(tsy_test_support PRIVATE
    TSY_PROVIDER_EXECUTABLE="$<TARGET_FILE:tsy-provider>"
    TSY_PROVIDER_SAMPLE_LIBRARY="${CMAKE_SOURCE_DIR}/provider/sample"
    TSY_PROVIDER_SAMPLE_SIGNING_KEY="${CMAKE_SOURCE_DIR}/provider/signing/sample-installer-key.pem")
add_dependencies(tsy_test_support tsy-provider)
tsy_enable_warnings(tsy_test_support)
