# Native build (Linux): the platform-free code, its tests, the tools that run on the host. With PEXO_FUZZ
# (clang) the platform-free code and the fuzz targets only.
find_package(Threads REQUIRED)
find_package(JPEG REQUIRED)

option(PEXO_SANITIZE "build with address and undefined-behaviour sanitizers" OFF)
if(PEXO_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    add_link_options(-fsanitize=address,undefined)
endif()

option(PEXO_FUZZ "build the libFuzzer targets of tests/fuzz instead of the tests and tools (clang)" OFF)
if(PEXO_FUZZ)
    # Undefined behaviour must stop the run, so that libFuzzer keeps the input as a crash.
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                        -fno-sanitize-recover=undefined)
endif()

# Boost.Regex header-only; the native build uses the C traits in place of the Win32 ones.
add_compile_definitions(BOOST_REGEX_STANDALONE PEXO_NATIVE=1)

pexo_sources(runtime_src runtime)
add_library(pexo_runtime STATIC ${runtime_src})
target_include_directories(pexo_runtime PUBLIC ${CMAKE_SOURCE_DIR})
target_include_directories(pexo_runtime SYSTEM PUBLIC ${PEXO_BOOST_INCLUDE})
target_link_libraries(pexo_runtime PUBLIC Threads::Threads)

# The window layer's platform-free part: window descriptions, GIF images, picture decoding and fitting.
pexo_sources(ui_src ui)
add_library(pexo_ui STATIC ${ui_src})
target_link_libraries(pexo_ui PUBLIC pexo_runtime JPEG::JPEG)

pexo_sources(app_src app)
if(PEXO_FUZZ)
    # clang 14 cannot evaluate the main window's compile-time description; the fuzz targets do not need it.
    list(FILTER app_src EXCLUDE REGEX "main_window_form\\.cpp$")
endif()
if(app_src)
    add_library(pexo_app STATIC ${app_src})
    target_link_libraries(pexo_app PUBLIC pexo_runtime)
else()
    add_library(pexo_app INTERFACE)
    target_link_libraries(pexo_app INTERFACE pexo_runtime)
endif()

if(PEXO_FUZZ)
    include(cmake/fuzz.cmake)
    return()
endif()

find_package(GTest REQUIRED)

enable_testing()
file(GLOB_RECURSE native_tests_src CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/native/*.cpp")
add_executable(native_tests ${native_tests_src})
target_link_libraries(native_tests PRIVATE pexo_app pexo_ui pexo_runtime GTest::gtest GTest::gtest_main)
add_test(NAME native_tests COMMAND native_tests)

foreach(tool IN ITEMS album-service)
    if(EXISTS "${CMAKE_SOURCE_DIR}/tools/${tool}/CMakeLists.txt")
        add_subdirectory(tools/${tool})
    endif()
endforeach()
if(EXISTS "${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt")
    add_subdirectory(bench)
endif()
