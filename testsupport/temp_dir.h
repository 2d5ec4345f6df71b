// Test helpers: a temporary folder removed at the end of a test, and an
// environment variable set for the length of a scope.
#pragma once

#include <optional>
#include <string>

namespace testsupport {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// Points XDG_CONFIG_HOME and XDG_DATA_HOME into a fresh temporary folder, so a
// test never reads or writes the user's own settings and data.
class IsolatedHome {
 public:
  IsolatedHome();
  const std::string& root() const { return dir_.path(); }
  std::string config() const { return dir_.path() + "/config"; }
  std::string data() const { return dir_.path() + "/data"; }

 private:
  TempDir dir_;
  ScopedEnv config_;
  ScopedEnv data_;
};

// Whole file contents, or empty when unreadable; and a whole-file write.
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace testsupport
