# What a cross build takes from the host: GoogleTest built from Debian's source package with the
# cross toolchain, and the header-only JSON and command-line libraries, seen through a folder of
# their own so that the host's other headers (its C library among them) stay out of the build.
if(GM_BUILD_TESTS)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
    foreach(lib gtest gtest_main gmock gmock_main)
        # GoogleTest (which names its targets GTest::...) does not pass our warnings.
        target_compile_options(${lib} PRIVATE -w)
    endforeach()
endif()

set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${host_headers})
foreach(dir nlohmann CLI)
    if(NOT EXISTS /usr/include/${dir})
        message(FATAL_ERROR "/usr/include/${dir} is missing: run ./dev deps")
    endif()
    if(NOT EXISTS ${host_headers}/${dir})
        file(CREATE_LINK /usr/include/${dir} ${host_headers}/${dir} SYMBOLIC)
    endif()
endforeach()
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
target_include_directories(nlohmann_json::nlohmann_json INTERFACE ${host_headers})
add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
target_include_directories(CLI11::CLI11 INTERFACE ${host_headers})
