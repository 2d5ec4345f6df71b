// Fuzz target: the node tree and the text cuts templates make with it. The
// first eight bytes choose the positions; the next line is a tag name and a
// reference list; the rest is the page.
#include <cstring>
#include <string>

#include "fetcher/node_tree.h"
#include "platform/text.h"

using namespace wrenly;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::int16_t numbers[4] = {};
  if (size < sizeof numbers) return 0;
  std::memcpy(numbers, data, sizeof numbers);
  std::string_view rest(reinterpret_cast<const char*>(data) + sizeof numbers, size - sizeof numbers);
  const std::size_t newline = rest.find('\n');
  const std::string_view head = newline == std::string_view::npos ? std::string_view() : rest.substr(0, newline);
  const std::u16string page = Utf8ToUtf16(newline == std::string_view::npos ? rest : rest.substr(newline + 1));
  const std::size_t blank = head.find(' ');
  const std::u16string name = Utf8ToUtf16(head.substr(0, blank));
  const std::u16string refs = Utf8ToUtf16(blank == std::string_view::npos ? std::string_view() : head.substr(blank + 1));

  std::int32_t position = numbers[0];
  const std::u16string found = FindNextTag(page, position);
  if (position >= 0 && static_cast<std::size_t>(position) >= page.size()) __builtin_trap();
  NodeTreeState state;
  BuildNodeTree(page, name.empty() ? found : name, numbers[1], state);
  if (!state.open.empty() || !state.setAside.empty() || !state.completed.empty()) __builtin_trap();
  InnerOfOuter(SliceFromTag(page, numbers[2], numbers[3]));
  OpeningTagText(page, numbers[2], numbers[3]);
  ResolveOuterRefs(page, refs);
  return 0;
}
