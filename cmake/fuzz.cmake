# libFuzzer targets: each tests/fuzz/<name>_fuzz.cpp is one program build/fuzz/<name>_fuzz over the
# platform-free code. Adding a target is adding such a file; tests/fuzz/run runs every one it finds.
file(GLOB fuzz_targets_src CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/tests/fuzz/*_fuzz.cpp")
foreach(src IN LISTS fuzz_targets_src)
    get_filename_component(target "${src}" NAME_WE)
    # Platform-free code outside runtime/ and app/ (a decoder in ui/, say) is named by the target itself, in a
    # line "// fuzz-sources: ui/a.cpp ui/b.cpp".
    file(STRINGS "${src}" extra REGEX "^// fuzz-sources: ")
    list(TRANSFORM extra REPLACE "^// fuzz-sources: " "")
    separate_arguments(extra UNIX_COMMAND "${extra}")
    list(TRANSFORM extra PREPEND "${CMAKE_SOURCE_DIR}/")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${src}")
    add_executable(${target} "${src}" ${extra})
    target_link_libraries(${target} PRIVATE pexo_app pexo_runtime)
    target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
endforeach()
