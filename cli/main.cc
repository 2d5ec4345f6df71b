// Entry point of wrenly-cli, the window-less front end of the Wrenly engine.
#include <iostream>

#include "cli/cli.h"
#include "platform/malloc_arenas.h"

int main(int argc, char* argv[]) {
  wrenly::LimitMallocArenas();
  return wrenly::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
