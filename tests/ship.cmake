# What a user installs: the man pages render cleanly, the .deb holds working tools and
# is lintian-clean in both layouts, the build is reproducible from any folder, and the
# README's initramfs recipe gives the files it shows.
add_test(NAME man_pages COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/man.sh ${PROJECT_BINARY_DIR}/man
    ${KAVRO_TOOLS})
set_tests_properties(man_pages PROPERTIES LABELS ship)
add_test(NAME package COMMAND ${NS_RUN} ${CMAKE_CURRENT_SOURCE_DIR}/package.sh ${PROJECT_BINARY_DIR}
    ${KAVRO_TOOLS})
set_tests_properties(package PROPERTIES LABELS "ship;pidns" TIMEOUT 300 SKIP_RETURN_CODE 77)
add_test(NAME lintian COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/lintian.sh ${PROJECT_BINARY_DIR}
    ${PROJECT_SOURCE_DIR} ${KAVRO_TOOLS})
set_tests_properties(lintian PROPERTIES LABELS ship TIMEOUT 600 SKIP_RETURN_CODE 77)
add_test(NAME reproducible COMMAND ${NS_RUN} ${CMAKE_CURRENT_SOURCE_DIR}/reproducible.sh
    ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/bin ${KAVRO_TOOLS})
set_tests_properties(reproducible PROPERTIES LABELS "ship;pidns" TIMEOUT 600 SKIP_RETURN_CODE 77)
add_test(NAME image COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/image.sh ${PROJECT_SOURCE_DIR}/README.md
    ${PROJECT_BINARY_DIR}/bin ${KAVRO_TOOLS})
set_tests_properties(image PROPERTIES LABELS ship)
