# Build helpers shared by every layer. Sources are globbed per folder so that each layer is one
# folder and one library target; the layering itself is checked by tests/LayeringCheck.cmake.

function(gm_apply_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 $<$<BOOL:${GM_WERROR}>:/WX>)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
            -Wnon-virtual-dtor -Wcast-align -Woverloaded-virtual -Wimplicit-fallthrough
            $<$<BOOL:${GM_WERROR}>:-Werror>)
        # GCC 12 reports std::string copies as overlapping memcpy once -O3 inlines them (GCC bug
        # 105329); the warning is noise in optimised builds only.
        if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
            target_compile_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-Wno-restrict>)
        endif()
    endif()
    if(GM_FUZZ)
        # Coverage for libFuzzer everywhere; only the fuzz executables link its main.
        target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined
            -fno-sanitize-recover=all -fno-omit-frame-pointer)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    elseif(GM_SANITIZE AND NOT MSVC)
        target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
            -fno-sanitize-recover=undefined)
        target_link_options(${target} PRIVATE -fsanitize=address,undefined)
    endif()
endfunction()

# gm_layer_include(<name> <folder>...)
# The include folder of one layer: it holds only that layer's own folders (as links into src/), so
# "#include "world/..."" compiles in a layer only when it links the world layer. Links are made at
# configure time; where the system cannot link folders, they are copied.
function(gm_layer_include name)
    set(inc ${CMAKE_BINARY_DIR}/layer-include/${name})
    foreach(folder IN LISTS ARGN)
        get_filename_component(parent ${inc}/${folder} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        if(NOT EXISTS ${inc}/${folder})
            file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${folder} ${inc}/${folder} SYMBOLIC
                COPY_ON_ERROR)
        endif()
    endforeach()
    set(${name}_INCLUDE ${inc} PARENT_SCOPE)
endfunction()

# gm_add_layer(<name> FOLDERS <dir>... [DEPS <target>...] [EXCLUDE <file>...])
# One static library from every .cpp of the given folders under src/ (less the EXCLUDE names),
# seeing only its own folders and those of the layers it links.
function(gm_add_layer name)
    cmake_parse_arguments(ARG "" "" "FOLDERS;DEPS;EXCLUDE" ${ARGN})
    set(sources)
    foreach(folder IN LISTS ARG_FOLDERS)
        file(GLOB found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*.cpp)
        list(APPEND sources ${found})
    endforeach()
    foreach(excluded IN LISTS ARG_EXCLUDE)
        list(FILTER sources EXCLUDE REGEX "/${excluded}$")
    endforeach()
    gm_layer_include(${name} ${ARG_FOLDERS})
    if(NOT sources)
        # A layer whose code has not arrived yet still stands in the graph.
        add_library(${name} INTERFACE)
        target_include_directories(${name} INTERFACE ${${name}_INCLUDE})
        target_link_libraries(${name} INTERFACE ${ARG_DEPS})
        return()
    endif()
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${${name}_INCLUDE})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    gm_apply_warnings(${name})
endfunction()

# gm_add_test_suite(<name> FOLDERS <dir>... DEPS <target>... [MAIN <target>] [LABELS <label>...])
# One test executable from every .cpp of the given folders under tests/.
function(gm_add_test_suite name)
    cmake_parse_arguments(ARG "" "MAIN" "FOLDERS;DEPS;LABELS" ${ARGN})
    set(sources)
    foreach(folder IN LISTS ARG_FOLDERS)
        file(GLOB found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/tests/${folder}/*.cpp)
        list(APPEND sources ${found})
    endforeach()
    if(NOT sources)
        return()
    endif()
    if(NOT ARG_MAIN)
        set(ARG_MAIN GTest::gtest_main)
    endif()
    add_executable(${name} ${sources})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${ARG_DEPS} gm_testsupport ${ARG_MAIN} GTest::gtest)
    target_compile_definitions(${name} PRIVATE GM_TEST_DATA="${PROJECT_SOURCE_DIR}/tests/data"
        GM_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
    gm_apply_warnings(${name})
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES LABELS "${ARG_LABELS}")
endfunction()

# gm_bundle_data()
# Puts the bundled data (examples/: bg.jpg, units, game folder, worlds) beside the executables of
# the current folder as "gridmoor-data", where a build-tree executable finds it; an installed one
# finds it in <prefix>/share/gridmoor.
function(gm_bundle_data)
    set(link ${CMAKE_CURRENT_BINARY_DIR}/gridmoor-data)
    if(NOT EXISTS ${link})
        file(CREATE_LINK ${PROJECT_SOURCE_DIR}/examples ${link} SYMBOLIC COPY_ON_ERROR)
    endif()
endfunction()
