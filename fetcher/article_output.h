// Writing the article text that a template delivers. The output file is
// UTF-8 with a byte-order mark, so no character is lost whatever the system
// code page (every reader honours the mark), and it is replaced atomically.
// Safe for concurrent use.
#pragma once

#include <string>
#include <string_view>

namespace wrenly {

// The path the article goes to: every ".sft" of outputPath becomes ".htm".
std::string ArticlePathFor(const std::string& outputPath);

// Deletes the file at outputPath (a folder is left alone); then, when text is
// not empty, writes it to ArticlePathFor(outputPath). False when the text
// could not be written.
bool StoreArticleBody(const std::string& outputPath, std::u16string_view text);
// The same for text that is UTF-8 already.
bool StoreArticleUtf8(const std::string& outputPath, std::string_view utf8);

// Writes an empty article file: the page was read and gives no article,
// and never will (the main program does not fetch it again).
bool WriteEmptyArticle(const std::string& outputPath);

// Deletes the file at path when it is a file (not a folder).
void DeleteFileIfPresent(const std::string& path);

// Stops every later StoreArticleBody from starting and waits for a running one
// to finish: for ending the process without leaving a half-written file.
void BlockArticleOutput();

}  // namespace wrenly
