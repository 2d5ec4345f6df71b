// Downloads that several channels of one refresh ask for go over the network
// once: the site icon of a host that serves many feeds, or a logo that several
// feeds share. The first request for an address downloads it; the others, at
// the same time or later, get a copy of its file, or its failure.
#pragma once

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace wrenly {

class SharedDownloads {
 public:
  // Stores the file of url at path. download(path) runs for the first
  // request of url only and says whether the file was stored; the other
  // requests wait for it and then share its file. False when url could not
  // be stored, now or by the request that downloaded it.
  bool Fetch(const std::u16string& url, const std::string& path,
             const std::function<bool(const std::string& path)>& download);

 private:
  struct Entry {
    bool done = false;
    bool stored = false;
    std::string path;  // where the first request stored the file
  };

  std::mutex mutex_;
  std::condition_variable finished_;
  std::map<std::u16string, Entry> entries_;
};

// Makes target a second name of source's file, or a copy of it where the file
// system has no hard links. The copy is written under a temporary name and
// renamed, so target is never half-written. False when neither worked.
bool ShareFile(const std::string& source, const std::string& target);

}  // namespace wrenly
