// Dropping the bodies of <script> and <style> elements from a page before it
// is parsed. They are most of the bytes of a typical news page, an HTML5
// tokenizer reads them character by character, and extraction drops them
// anyway. The scan follows the tokenizer's view of the page far enough to
// see only real start tags: comments, quoted attribute values and the text
// of <title>, <textarea> and the like cannot start a script.
// Pure function; safe for concurrent use.
#pragma once

#include <string>
#include <string_view>

namespace wrenly {

// The page with the text between each <script ...> or <style ...> and its end
// tag removed (the tags stay). A script without an end tag runs to the end.
std::string WithoutScriptBodies(std::string_view html);

}  // namespace wrenly
