# Short bounded runs of the listed tools' libFuzzer targets, built by the fuzz preset
# with clang in build-fuzz/. The build is one test; each target then runs for
# KAVRO_FUZZ_SECONDS from its seed corpus (fuzz/corpus/NAME, which it never writes to),
# with the public corpus that fuzz/corpus/NAME.shared names added when there is one.
set(KAVRO_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs under ctest")
find_program(CLANGXX clang++)
include(${PROJECT_SOURCE_DIR}/fuzz/targets.cmake)
if(CLANGXX AND kavro_fuzz_targets)
  # The list goes through with commas, as ctest would split it at its semicolons.
  string(REPLACE ";" "," tools_arg "${KAVRO_TOOLS}")
  add_test(NAME fuzz_build
      COMMAND bash -c "\"$0\" --preset fuzz -DKAVRO_TOOLS=\"\${1//,/;}\" >/dev/null && \"$0\" --build --preset fuzz"
          ${CMAKE_COMMAND} ${tools_arg}
      WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})
  set_tests_properties(fuzz_build PROPERTIES LABELS fuzz FIXTURES_SETUP fuzzers TIMEOUT 900)
  foreach(name ${kavro_fuzz_targets})
    add_test(NAME fuzz_${name}
        COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/fuzz-run ${PROJECT_SOURCE_DIR}/build-fuzz/fuzz/fuzz_${name}
                ${PROJECT_SOURCE_DIR}/fuzz/corpus/${name} ${KAVRO_FUZZ_SECONDS})
    set_tests_properties(fuzz_${name} PROPERTIES LABELS fuzz FIXTURES_REQUIRED fuzzers
        TIMEOUT 300)
    if(corpora_env)
      set_property(TEST fuzz_${name} APPEND PROPERTY ENVIRONMENT ${corpora_env})
    endif()
  endforeach()
endif()
