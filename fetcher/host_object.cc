#include "fetcher/host_object.h"

#include "fetcher/article_output.h"
#include "fetcher/page_decoding.h"
#include "net/transfer.h"
#include "platform/trace.h"

namespace wrenly {

// A transfer that succeeds without a memory copy (the copy could not be
// kept) counts as failed: the page text stays as it was.
std::u16string CHostObject::URLDownload(std::u16string_view url, std::u16string_view encoding) {
  std::uint32_t errorCode = 0;
  std::u16string errorText;
  DownloadBuffer buffer;
  std::uint64_t byteCount = 0;
  std::u16string finalUrl;
  const HRESULT result =
      DownloadUrlToFile(url, {}, &errorCode, &errorText, nullptr, &buffer, &byteCount, nullptr, &finalUrl);
  if (result != S_OK || !buffer.data) {
    TraceF("URLDownload failed with error %u.\n", static_cast<unsigned>(errorCode));
    return {};
  }
  const std::string_view bytes(buffer.data.get(), static_cast<size_t>(byteCount));
  pageText_ = DecodeWithByteOrderMark(bytes, CodePageForEncoding(encoding));
  pageUrl_ = std::move(finalUrl);
  return pageText_;
}

std::u16string CHostObject::GetNodeName(int32_t position) const {
  std::u16string name;
  if (!pageText_.empty()) name = FindNextTag(pageText_, position);
  return name.empty() ? u"<END>" : name;
}

int32_t CHostObject::GetNodeStartPos(int32_t position) const {
  FindNextTag(pageText_, position);
  return position;
}

std::u16string CHostObject::GetNodeTree(std::u16string_view name, int32_t position) {
  return BuildNodeTree(pageText_, name, position, treeState_);
}

std::u16string CHostObject::GetNodeOuterHTML(int32_t start, int32_t end) const {
  return SliceFromTag(pageText_, start, end);
}

std::u16string CHostObject::GetNodeAttr(int32_t start, int32_t end) const {
  return OpeningTagText(pageText_, start, end);
}

std::u16string CHostObject::Outer2InnerHTML(std::u16string_view html) const {
  return InnerOfOuter(html);
}

void CHostObject::LogPrint(std::u16string_view message) const {
  Trace(message);
  Trace("\n");
}

void CHostObject::SetArticleBody(std::u16string_view text) {
  StoreArticleBody(outputPath_, text);
}

std::u16string CHostObject::GetHTML(std::u16string_view refs) const {
  return ResolveOuterRefs(pageText_, refs);
}

}  // namespace wrenly
