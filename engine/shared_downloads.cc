#include "engine/shared_downloads.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/atomic_file.h"

namespace wrenly {

bool SharedDownloads::Fetch(const std::u16string& url, const std::string& path,
                            const std::function<bool(const std::string&)>& download) {
  std::unique_lock lock(mutex_);
  const auto [it, first] = entries_.try_emplace(url);
  Entry& entry = it->second;  // stays valid: entries are never erased
  if (first) {
    lock.unlock();
    const bool stored = download(path);
    lock.lock();
    entry = Entry{true, stored, path};
    finished_.notify_all();
    return stored;
  }
  finished_.wait(lock, [&] { return entry.done; });
  const Entry done = entry;
  lock.unlock();
  return done.stored && ShareFile(done.path, path);
}

bool ShareFile(const std::string& source, const std::string& target) {
  std::error_code ec;
  std::filesystem::create_hard_link(source, target, ec);
  if (!ec) return true;
  std::ifstream in(source, std::ios::binary);
  if (!in) return false;
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  return !in.bad() && WriteFileAtomically(target, bytes);
}

}  // namespace wrenly
