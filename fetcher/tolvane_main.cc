// Entry point of Tolvane, the full-text fetcher that Wrenly starts per article.
#include <cstdio>

int main() {
  std::fputs("error 1 Tolvane is not built yet\n", stderr);
  return 1;
}
