// CConnMgrClient: brings up a network connection through a connection backend
// and holds it on a watcher thread until the backend reports a disconnection
// or failure, or StopConnection is called. Derived classes react to the
// connection's states through the virtual On* operations, which run on the
// watcher thread. Public operations are safe to call from any thread; the
// object must not be destroyed from its own On* operations.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/connection_backend.h"
#include "platform/event.h"
#include "net/hresult.h"

namespace wrenly {

class CConnMgrClient {
 public:
  static constexpr std::chrono::milliseconds kFastPathWait{400};
  static constexpr std::uint32_t kFastPathLatencyMs = 4000;
  static constexpr std::uint32_t kConnectTimeoutMs = 10000;
  static constexpr std::chrono::milliseconds kStopWait{3000};

  explicit CConnMgrClient(ConnectionBackend& backend);
  virtual ~CConnMgrClient();
  CConnMgrClient(const CConnMgrClient&) = delete;
  CConnMgrClient& operator=(const CConnMgrClient&) = delete;

  // Tests whether a path to url exists now, without dialling: 0 = yes,
  // 1 = no fast path, negative = failure (E_FAIL when the test got no answer
  // within 400 ms). Runs the proxy query when a path exists.
  HRESULT CheckFastPath(std::u16string_view url, bool useProxy);
  // Stops the previous watcher, then starts one that brings up the connection.
  HRESULT StartConnection(std::u16string_view url, bool useProxy);
  // Asks the watcher to give up the connection and waits up to 3 s for it.
  HRESULT StopConnection();
  // Ends any watcher, then talks to backend from now on (tests of callers).
  void UseBackend(ConnectionBackend& backend);
  bool UsesBackend(const ConnectionBackend& backend) const { return backend_.load() == &backend; }

  std::u16string Url() const;
  bool UseProxy() const;
  std::int32_t LastStatus() const;
  bool CacheOnRelease() const;
  bool ProxyPresent() const;
  ProxyConfig ProxyConfiguration() const;
  bool WatcherRunning() const;

 protected:
  // Dispatches a status of the held connection; non-zero ends the hold.
  virtual HRESULT OnStatus(std::uint32_t status);
  virtual HRESULT OnConnectionUp() { return S_OK; }
  // Shows the network error report; ends the hold.
  virtual HRESULT OnError();
  // Runs the proxy query.
  virtual HRESULT OnConnected();
  virtual HRESULT OnDisconnected() { return E_FAIL; }
  virtual HRESULT OnWaiting() { return S_OK; }
  virtual HRESULT OnReleased() { return S_OK; }

  // Reads the held connection's proxy; true when an HTTP proxy is configured.
  bool QueryProxy();
  // Stops the watcher and waits for every watcher thread, however long.
  // Derived destructors call it so that no On* runs on a half-destroyed object.
  void StopAndJoin();

 private:
  struct Watcher {
    Event stop{Event::Mode::kManualReset};
    Event done{Event::Mode::kManualReset};
    std::thread thread;
  };

  HRESULT StoreTarget(std::u16string_view url, bool useProxy);
  bool QueryProxy(const ConnectionHandle& handle);
  void Watch(Watcher* watcher);
  void Hold(Watcher* watcher, const ConnectionHandle& handle);
  void ReapRetired();

  ConnectionBackend& backend() const { return *backend_.load(); }

  std::atomic<ConnectionBackend*> backend_;
  mutable std::mutex mutex_;
  // Guarded by mutex_.
  std::u16string url_;
  bool useProxy_ = false;
  ConnectionHandle connection_;
  bool cacheOnRelease_ = false;
  NetworkId destination_;
  std::int32_t lastStatus_ = 0;
  bool proxyPresent_ = false;
  ProxyConfig proxyConfig_;
  std::unique_ptr<Watcher> watcher_;
  // Watchers that did not end within the stop wait; joined later.
  std::vector<std::unique_ptr<Watcher>> retired_;
};

}  // namespace wrenly
