#include "engine/dock_watch.h"

#include <filesystem>
#include <fstream>

#include "engine/messages.h"

namespace wrenly {
namespace {

constexpr std::chrono::seconds kPollInterval{2};

std::string FirstLine(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

}  // namespace

bool IsOnExternalPower(const std::string& powerSupplyRoot) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(powerSupplyRoot, ec)) {
    if (FirstLine(entry.path() / "type") == "Battery") continue;
    if (FirstLine(entry.path() / "online") == "1") return true;
  }
  return false;
}

CDockWatch::CDockWatch(Receiver* target, std::string powerSupplyRoot)
    : target_(target), root_(std::move(powerSupplyRoot)) {}

CDockWatch::~CDockWatch() { Close(); }

void CDockWatch::Start() {
  if (thread_.joinable()) return;
  docked_ = IsOnExternalPower(root_);
  stopping_ = false;
  thread_ = std::thread(&CDockWatch::Main, this);
}

void CDockWatch::Close() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    stop_.notify_all();
  }
  if (thread_.joinable()) thread_.join();
}

void CDockWatch::CheckNow() {
  const bool now = IsOnExternalPower(root_);
  if (now == docked_.exchange(now)) return;
  PostMessageTo(target_, WM_CRADLE_CHANGED, now ? 1 : 0, 0);
}

void CDockWatch::Main() {
  std::unique_lock lock(mutex_);
  while (!stop_.wait_for(lock, kPollInterval, [&] { return stopping_; })) {
    lock.unlock();
    CheckNow();
    lock.lock();
  }
}

}  // namespace wrenly
