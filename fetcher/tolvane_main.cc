// Entry point of Tolvane, the full-text fetcher that Wrenly starts per article.
#include <string>
#include <vector>

#include "fetcher/fetcher_process.h"

int main(int argc, char** argv) {
  return wrenly::RunTolvane(std::vector<std::string>(argv + 1, argv + argc));
}
