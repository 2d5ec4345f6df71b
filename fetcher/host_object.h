// The host object of a script run: the page text of the last URLDownload,
// the article URL and output path, and the eleven functions that templates
// call as globals (the script host binds them). Node functions work on the
// page text as it is at the time of the call.
// REQUIRES: external synchronization (one script run on one thread).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "fetcher/node_tree.h"

namespace wrenly {

class CHostObject {
 public:
  void SetArticleUrl(std::u16string url) { articleUrl_ = std::move(url); }
  void SetOutputPath(std::string path) { outputPath_ = std::move(path); }
  const std::u16string& pageText() const { return pageText_; }
  // The address the page text was served from (after redirects); "" before
  // the first successful URLDownload.
  const std::u16string& pageUrl() const { return pageUrl_; }

  // Fetches url into memory and makes its decoded text the page text and the
  // address it was served from the page address; "" (both unchanged) when
  // the transfer fails.
  std::u16string URLDownload(std::u16string_view url, std::u16string_view encoding);
  // "<END>" when there is no further opening tag.
  std::u16string GetNodeName(int32_t position) const;
  int32_t GetNodeStartPos(int32_t position) const;
  std::u16string GetNodeTree(std::u16string_view name, int32_t position);
  std::u16string GetNodeOuterHTML(int32_t start, int32_t end) const;
  std::u16string GetNodeAttr(int32_t start, int32_t end) const;
  std::u16string Outer2InnerHTML(std::u16string_view html) const;
  void LogPrint(std::u16string_view message) const;
  // Deletes the old output file, then writes a non-empty text (see
  // StoreArticleBody).
  void SetArticleBody(std::u16string_view text);
  std::u16string GetArticleUrl() const { return articleUrl_; }
  std::u16string GetHTML(std::u16string_view refs) const;

 private:
  std::u16string pageText_;
  std::u16string pageUrl_;
  std::u16string articleUrl_;
  std::string outputPath_;
  NodeTreeState treeState_;
};

}  // namespace wrenly
