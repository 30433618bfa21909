# What a user installs: the man pages render cleanly, the .deb holds working tools and
# is lintian-clean in both layouts, the build is reproducible from any folder, and the
# README's initramfs recipe gives the files it shows. All of them for the build whose
# tools are tested (KAVRO_TOOLS_BUILD: this one, or a cross build's).
add_test(NAME man_pages COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/man.sh ${KAVRO_TOOLS_BUILD}/man
    ${KAVRO_TOOLS})
set_tests_properties(man_pages PROPERTIES LABELS ship)
add_test(NAME package COMMAND ${NS_RUN} ${CMAKE_CURRENT_SOURCE_DIR}/package.sh ${KAVRO_TOOLS_BUILD}
    ${KAVRO_TOOLS})
set_tests_properties(package PROPERTIES LABELS "ship;pidns" TIMEOUT 300 SKIP_RETURN_CODE 77)
add_test(NAME lintian COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/lintian.sh ${KAVRO_TOOLS_BUILD}
    ${PROJECT_SOURCE_DIR} ${KAVRO_TOOLS})
set_tests_properties(lintian PROPERTIES LABELS ship TIMEOUT 600 SKIP_RETURN_CODE 77)
add_test(NAME reproducible COMMAND ${NS_RUN} ${CMAKE_CURRENT_SOURCE_DIR}/reproducible.sh
    ${PROJECT_SOURCE_DIR} ${KAVRO_TOOLS_BUILD}/bin ${KAVRO_TOOLS})
set_tests_properties(reproducible PROPERTIES LABELS "ship;pidns" TIMEOUT 600 SKIP_RETURN_CODE 77)
add_test(NAME image COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/image.sh ${PROJECT_SOURCE_DIR}/README.md
    ${KAVRO_TOOLS_BUILD}/bin ${KAVRO_TOOLS})
set_tests_properties(image PROPERTIES LABELS ship)
# Another processor's tools run under its emulator, and their second builds use its
# toolchain file.
set_tests_properties(package lintian reproducible PROPERTIES ENVIRONMENT
    "KAVRO_EMULATOR=${KAVRO_EMULATOR};KAVRO_TOOLCHAIN=${KAVRO_TOOLCHAIN}")
