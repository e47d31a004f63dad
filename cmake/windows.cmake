# Windows build (mingw-w64, posix threads, static): the program, its Windows tests and the UI driver.
add_compile_definitions(BOOST_REGEX_STANDALONE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
add_link_options(-static -static-libgcc -static-libstdc++)

set(PEXO_JPEG "${PEXO_CACHE}/libjpeg-win64")
set(PEXO_GTEST "${PEXO_CACHE}/gtest-win64")
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_SOURCE_DIR}/cmake/wine-run")

pexo_sources(runtime_src runtime)
add_library(pexo_runtime STATIC ${runtime_src})
target_include_directories(pexo_runtime PUBLIC ${CMAKE_SOURCE_DIR})
target_include_directories(pexo_runtime SYSTEM PUBLIC ${PEXO_BOOST_INCLUDE})
# WinINet and the common controls are not linked: they are bound from the system folder at run time.
target_link_libraries(pexo_runtime PUBLIC urlmon ole32 oleaut32 uuid shell32 gdi32 user32 advapi32 shlwapi)

pexo_sources(ui_src ui)
if(ui_src)
    add_library(pexo_ui STATIC ${ui_src})
    target_include_directories(pexo_ui SYSTEM PUBLIC "${PEXO_JPEG}/include")
    target_link_libraries(pexo_ui PUBLIC pexo_runtime "${PEXO_JPEG}/lib/libjpeg.a")
    target_link_libraries(pexo_runtime PUBLIC pexo_ui)
endif()

pexo_sources(app_src app)
list(FILTER app_src EXCLUDE REGEX "/app/shell/pexo_main_win\\.cpp$")
if(app_src)
    add_library(pexo_app STATIC ${app_src})
    target_link_libraries(pexo_app PUBLIC pexo_runtime)
else()
    add_library(pexo_app INTERFACE)
    target_link_libraries(pexo_app INTERFACE pexo_runtime)
endif()

enable_testing()
file(GLOB_RECURSE win_tests_src CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/win/*.cpp")
add_executable(win_tests ${win_tests_src})
target_include_directories(win_tests SYSTEM PRIVATE "${PEXO_GTEST}/include")
target_link_libraries(win_tests PRIVATE pexo_app pexo_runtime "${PEXO_GTEST}/lib/libgtest.a" ws2_32 psapi version
                      wininet comctl32)
add_test(NAME win_tests COMMAND win_tests)

foreach(sub IN ITEMS skin tools/ui-driver app/shell)
    if(EXISTS "${CMAKE_SOURCE_DIR}/${sub}/CMakeLists.txt")
        add_subdirectory(${sub})
    endif()
endforeach()

# The program. The skin files and the engine library come from pexo_skin_data when the skin is part of the build;
# without it the program still builds, and runs without a skin.
if(TARGET pexo_skin_data)
    target_link_libraries(pexo_app PUBLIC pexo_skin_data)
    target_compile_definitions(pexo_app PRIVATE PEXO_HAVE_SKIN_DATA=1)
endif()
# The program's resources: the icon is drawn at build time by a script, the resource script gets its paths.
enable_language(RC)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(pexo_resources "${CMAKE_SOURCE_DIR}/app/shell/resources")
add_custom_command(OUTPUT "${CMAKE_BINARY_DIR}/pexo.ico"
                   COMMAND Python3::Interpreter "${pexo_resources}/draw_icon.py" "${CMAKE_BINARY_DIR}/pexo.ico"
                   DEPENDS "${pexo_resources}/draw_icon.py")
set(PEXO_ICON "${CMAKE_BINARY_DIR}/pexo.ico")
set(PEXO_MANIFEST "${pexo_resources}/pexo.manifest")
configure_file("${pexo_resources}/pexo.rc.in" "${CMAKE_BINARY_DIR}/pexo.rc" @ONLY)
set_source_files_properties("${CMAKE_BINARY_DIR}/pexo.rc" PROPERTIES
                            OBJECT_DEPENDS "${CMAKE_BINARY_DIR}/pexo.ico;${PEXO_MANIFEST}")
add_executable(pexo WIN32 "${CMAKE_SOURCE_DIR}/app/shell/pexo_main_win.cpp" "${CMAKE_BINARY_DIR}/pexo.rc"
                    "${CMAKE_BINARY_DIR}/pexo.ico")
add_dependencies(win_tests pexo)  # the resource tests read the built program
target_link_libraries(pexo PRIVATE pexo_app pexo_runtime)

# Windows benchmarks (bench/*_win.cpp), each its own program.
file(GLOB win_benches CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/bench/*_win.cpp")
foreach(source IN LISTS win_benches)
    get_filename_component(name "${source}" NAME_WE)
    add_executable(${name} "${source}")
    target_link_libraries(${name} PRIVATE pexo_app pexo_runtime psapi wininet)
endforeach()
