# Short bounded runs of every libFuzzer target, built by the fuzz preset with clang in
# build-fuzz/. The build is one test; each target then runs for KAVRO_FUZZ_SECONDS
# from its seed corpus (fuzz/corpus/NAME), which it never writes to.
set(KAVRO_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs under ctest")
find_program(CLANGXX clang++)
file(GLOB fuzz_targets CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/fuzz/*.cpp)
if(CLANGXX AND fuzz_targets)
  add_test(NAME fuzz_build
      COMMAND ${CMAKE_COMMAND} --workflow --preset fuzz
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  set_tests_properties(fuzz_build PROPERTIES LABELS fuzz FIXTURES_SETUP fuzzers TIMEOUT 900)
  foreach(src ${fuzz_targets})
    get_filename_component(name ${src} NAME_WE)
    add_test(NAME fuzz_${name}
        COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/fuzz-run ${PROJECT_SOURCE_DIR}/build-fuzz/fuzz/fuzz_${name}
                ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name} ${KAVRO_FUZZ_SECONDS} ${KAVRO_CORPORA})
    set_tests_properties(fuzz_${name} PROPERTIES LABELS fuzz FIXTURES_REQUIRED fuzzers
        TIMEOUT 300)
  endforeach()
endif()
