# jq: hosted scanner and filter tests (with the public JSON test suite and a differential
# check against nlohmann-json), and end-to-end runs of the binary.
find_package(nlohmann_json 3 REQUIRED)
kavro_unit(jq_unit jq_unit.cpp jq_core nlohmann_json::nlohmann_json)
# The same tables over the portable block scanner.
kavro_unit(jq_unit_portable jq_unit.cpp jq_portable_core nlohmann_json::nlohmann_json)
# The walk over the public JSON test suite, an entry of its own as it needs the corpora.
if(TARGET jq_unit)
  add_test(NAME jq_corpus COMMAND jq_unit --gtest_filter=Corpus.*)
  set_tests_properties(jq_corpus PROPERTIES LABELS unit)
  set_property(TEST jq_unit jq_unit_portable APPEND PROPERTY ENVIRONMENT GTEST_FILTER=-Corpus.*)
  kavro_corpus_test(jq_corpus)
endif()
kavro_e2e(jq_e2e jq_e2e.cpp "")
