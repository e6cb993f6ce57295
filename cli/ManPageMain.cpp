// Writes the manual page of torvex-cli to standard output; the build runs it to make
// torvex-cli.1 from the same tables as the program's --help.

#include <cstdio>

#include "cli/CliHelp.h"

int main() {
    std::fputs(torvex::ManPageText().c_str(), stdout);
    return std::ferror(stdout) ? 1 : 0;
}
