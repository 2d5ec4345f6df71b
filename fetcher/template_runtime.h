// The script library wrapped around every extraction template: the prologue
// (Article, Node and its methods, Document, the start of ScriptEntry) and the
// epilogue (the end of ScriptEntry, which hands article.body to the host).
// A template runs as the body of ScriptEntry, between the two.
#pragma once

#include <string>
#include <string_view>

namespace wrenly {

// Both texts are ASCII and end with a line feed.
std::string_view TemplatePrologue();
std::string_view TemplateEpilogue();

// prologue + template + epilogue, joined without separators.
std::u16string BuildScriptText(std::u16string_view templateText);

}  // namespace wrenly
