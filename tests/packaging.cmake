# The package and what it installs: the Debian package made from this build,
# unpacked into a fresh tree whose programs must run from there; the manual
# pages against the programs' --help; the completion against --help.
add_test(NAME Package.InstalledTreeRuns
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/test_package.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
set_tests_properties(Package.InstalledTreeRuns PROPERTIES TIMEOUT 300)
add_test(NAME Package.ManPagesAgreeWithHelp
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/test_man.sh ${CMAKE_BINARY_DIR}/bin ${CMAKE_BINARY_DIR}/man)
add_test(NAME Package.CompletionListsWhatHelpLists
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/test_completion.sh ${CMAKE_BINARY_DIR}/bin
                 ${CMAKE_SOURCE_DIR}/packaging/velquor-cli.bash)
