# Source sets by layer. Files named *_win.cpp call Win32 and build only for Windows; *_posix.cpp are the
# native build's stand-ins; everything else is platform-free and builds in both.
function(pexo_sources out)
    set(all)
    foreach(dir IN LISTS ARGN)
        file(GLOB_RECURSE found CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${dir}/*.cpp")
        list(APPEND all ${found})
    endforeach()
    if(WIN32)
        list(FILTER all EXCLUDE REGEX "_posix\\.cpp$")
    else()
        list(FILTER all EXCLUDE REGEX "_win\\.cpp$")
    endif()
    set(${out} ${all} PARENT_SCOPE)
endfunction()

set(PEXO_BOOST_INCLUDE "${PEXO_CACHE}/boost-include")

# The main window's description is encoded at compile time (its picture-button images included), which takes
# more constant-evaluation steps than the compiler allows by default.
if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    set(PEXO_CONSTEXPR_LIMIT "-fconstexpr-steps=2000000000")
else()
    set(PEXO_CONSTEXPR_LIMIT "-fconstexpr-ops-limit=4000000000")
endif()
set_source_files_properties("${CMAKE_SOURCE_DIR}/app/shell/main_window_form.cpp" PROPERTIES
                            COMPILE_OPTIONS "${PEXO_CONSTEXPR_LIMIT}")
