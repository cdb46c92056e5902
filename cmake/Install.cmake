# Install layout: the binary, its manual page, and the shell completions where bash-completion,
# zsh and fish look for them under the install prefix.
include(GNUInstallDirs)

install(TARGETS lumra RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/man/lumra.1
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/completions/lumra.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
  RENAME lumra)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/completions/_lumra
  DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/site-functions)
install(FILES ${CMAKE_CURRENT_SOURCE_DIR}/completions/lumra.fish
  DESTINATION ${CMAKE_INSTALL_DATADIR}/fish/vendor_completions.d)

# The scripted bash completion test, on the simulated monitors (its expected IDs are theirs);
# CI runs it too, against an install.
find_program(LUMRA_BASH bash)
if(LUMRA_BUILD_TESTS AND LUMRA_BASH AND NOT APPLE AND NOT WIN32)
  add_test(NAME completions.bash
    COMMAND ${LUMRA_BASH} ${CMAKE_CURRENT_SOURCE_DIR}/completions/tests/bash-completion-test.sh
            $<TARGET_FILE:lumra>)
endif()
