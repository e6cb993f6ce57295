# What "cmake --install" puts under the prefix (default ~/.local):
#   lib/torvex/        the programs, libpellix.so and pellix-host, with the files they read
#                      beside themselves (Origin/, Config/default.conf, Torvex.html); the
#                      desktop program keeps its working directory there unless TORVEX_HOME
#                      names another one
#   bin/torvex, bin/torvex-cli   links to the programs, so that they are on PATH
#   share/man/man1/torvex-cli.1
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT)
    set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/.local" CACHE PATH "Where cmake --install puts Torvex"
        FORCE)
endif()
set(TORVEX_INSTALL_PROGRAM_DIR lib/torvex)

# torvex_install_program(TARGET): installs the program into lib/torvex and links bin/TARGET to it.
function(torvex_install_program target)
    install(TARGETS ${target} RUNTIME DESTINATION ${TORVEX_INSTALL_PROGRAM_DIR})
    install(CODE "
        set(_bin \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
        file(MAKE_DIRECTORY \"\${_bin}\")
        file(REMOVE \"\${_bin}/${target}\")
        file(CREATE_LINK \"../${TORVEX_INSTALL_PROGRAM_DIR}/${target}\" \"\${_bin}/${target}\"
             SYMBOLIC)
        message(STATUS \"Linking: \${_bin}/${target}\")")
endfunction()
