#include "net/conn_mgr_client.h"

#include <system_error>

#include "platform/trace.h"

namespace wrenly {

CConnMgrClient::CConnMgrClient(ConnectionBackend& backend) : backend_(&backend) {}

CConnMgrClient::~CConnMgrClient() { StopAndJoin(); }

HRESULT CConnMgrClient::StoreTarget(std::u16string_view url, bool useProxy) {
  NetworkId destination;
  const HRESULT mapped = backend().MapUrl(url, &destination);
  std::lock_guard lock(mutex_);
  url_.assign(url);
  useProxy_ = useProxy;
  if (Failed(mapped)) return mapped;
  destination_ = destination;
  return S_OK;
}

HRESULT CConnMgrClient::CheckFastPath(std::u16string_view url, bool useProxy) {
  if (const HRESULT stored = StoreTarget(url, useProxy); Failed(stored)) return stored;
  ConnectionInfo info;
  info.params = kConnParamGuidDestNet | kConnParamMaxConnLatency;
  info.flags = useProxy ? kConnFlagProxyHttp : 0;
  info.priority = kConnPriorityUserInteractive;
  info.disabled = true;
  info.maxConnLatencyMs = kFastPathLatencyMs;
  {
    std::lock_guard lock(mutex_);
    info.destination = destination_;
  }
  ConnectionHandle probe;
  HRESULT result = backend().EstablishConnection(info, &probe);
  if (Failed(result) || !probe) return Failed(result) ? result : E_FAIL;
  if (!probe->statusChanged.Wait(kFastPathWait)) {
    result = E_FAIL;
  } else {
    std::uint32_t status = 0;
    const bool known = !Failed(backend().ConnectionStatus(probe, &status));
    if (known && (status == kConnStatusConnected || status == kConnStatusConnectionDisabled)) {
      result = S_OK;
      QueryProxy(probe);
    } else {
      result = 1;
    }
  }
  backend().ReleaseConnection(probe, false);
  return result;
}

HRESULT CConnMgrClient::StartConnection(std::u16string_view url, bool useProxy) {
  if (const HRESULT stored = StoreTarget(url, useProxy); Failed(stored)) return stored;
  StopConnection();
  auto watcher = std::make_unique<Watcher>();
  try {
    watcher->thread = std::thread(&CConnMgrClient::Watch, this, watcher.get());
  } catch (const std::system_error&) {
    return E_FAIL;
  }
  std::lock_guard lock(mutex_);
  watcher_ = std::move(watcher);
  return S_OK;
}

HRESULT CConnMgrClient::StopConnection() {
  std::unique_ptr<Watcher> watcher;
  {
    std::lock_guard lock(mutex_);
    watcher = std::move(watcher_);
  }
  ReapRetired();
  if (!watcher) return S_OK;
  watcher->stop.Set();
  // A watcher that stops itself (from an On* operation) cannot wait for itself.
  const bool self = watcher->thread.get_id() == std::this_thread::get_id();
  if (!self && watcher->done.Wait(kStopWait)) {
    watcher->thread.join();
    return S_OK;
  }
  std::lock_guard lock(mutex_);
  retired_.push_back(std::move(watcher));
  return S_OK;
}

void CConnMgrClient::UseBackend(ConnectionBackend& backend) {
  StopAndJoin();
  backend_.store(&backend);
}

void CConnMgrClient::ReapRetired() {
  std::vector<std::unique_ptr<Watcher>> finished;
  {
    std::lock_guard lock(mutex_);
    for (auto it = retired_.begin(); it != retired_.end();) {
      const bool joinable = (*it)->done.IsSet() && (*it)->thread.get_id() != std::this_thread::get_id();
      if (joinable) {
        finished.push_back(std::move(*it));
        it = retired_.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& watcher : finished) watcher->thread.join();
}

void CConnMgrClient::StopAndJoin() {
  StopConnection();
  std::vector<std::unique_ptr<Watcher>> retired;
  {
    std::lock_guard lock(mutex_);
    retired.swap(retired_);
  }
  for (auto& watcher : retired) watcher->thread.join();
}

void CConnMgrClient::Watch(Watcher* watcher) {
  ConnectionInfo info;
  info.params = kConnParamGuidDestNet;
  info.flags = UseProxy() ? (kConnFlagProxyHttp | kConnFlagProxyWap | kConnFlagProxySocks4 | kConnFlagProxySocks5) : 0;
  info.priority = kConnPriorityUserInteractive;
  {
    std::lock_guard lock(mutex_);
    info.destination = destination_;
  }
  ConnectionHandle handle;
  std::uint32_t status = kConnStatusUnknown;
  const HRESULT result = backend().EstablishConnectionSync(info, &handle, kConnectTimeoutMs, &status, watcher->stop);
  {
    std::lock_guard lock(mutex_);
    connection_ = handle;
    lastStatus_ = status != kConnStatusUnknown || !Failed(result) ? static_cast<std::int32_t>(status) : result;
  }
  if (watcher->stop.IsSet()) {
    // Given up while connecting: nobody waits for this connection any more.
  } else if (!Failed(result) || status == kConnStatusConnected) {
    if (handle) Hold(watcher, handle);
  } else {
    OnError();
    std::lock_guard lock(mutex_);
    cacheOnRelease_ = false;
  }
  OnReleased();
  bool cache = false;
  {
    std::lock_guard lock(mutex_);
    cache = cacheOnRelease_;
    if (connection_ == handle) connection_.reset();
  }
  if (handle) backend().ReleaseConnection(handle, cache);
  watcher->done.Set();
}

void CConnMgrClient::Hold(Watcher* watcher, const ConnectionHandle& handle) {
  {
    std::lock_guard lock(mutex_);
    cacheOnRelease_ = false;
  }
  OnConnectionUp();
  for (;;) {
    if (WaitForAny({&handle->statusChanged, &watcher->stop}, kWaitForever) != 0) return;
    std::uint32_t status = 0;
    const HRESULT read = backend().ConnectionStatus(handle, &status);
    {
      std::lock_guard lock(mutex_);
      lastStatus_ = Failed(read) ? read : static_cast<std::int32_t>(status);
    }
    if (Failed(read) || OnStatus(status) != S_OK) return;
  }
}

HRESULT CConnMgrClient::OnStatus(std::uint32_t status) {
  if (status & kConnStatusDisconnected) {
    const HRESULT result = status == kConnStatusDisconnected ? OnDisconnected() : OnError();
    std::lock_guard lock(mutex_);
    cacheOnRelease_ = status == kConnStatusDisconnected;
    return result;
  }
  if (status == kConnStatusConnected) return OnConnected();
  if (status & kConnStatusWaitingConnection) return OnWaiting();
  return S_OK;
}

HRESULT CConnMgrClient::OnError() {
  backend().ReportNetworkError(LastStatus());
  return E_FAIL;
}

HRESULT CConnMgrClient::OnConnected() {
  QueryProxy();
  return S_OK;
}

bool CConnMgrClient::QueryProxy() {
  ConnectionHandle handle;
  {
    std::lock_guard lock(mutex_);
    handle = connection_;
  }
  return QueryProxy(handle);
}

bool CConnMgrClient::QueryProxy(const ConnectionHandle& handle) {
  ProxyConfig config;
  config.type = kConnFlagProxyHttp;
  const bool found = handle && !Failed(backend().QueryProxy(handle, &config)) && config.type == kConnFlagProxyHttp;
  if (found) {
    config.userName.clear();
    config.password.clear();
  }
  std::lock_guard lock(mutex_);
  proxyPresent_ = found;
  proxyConfig_ = found ? config : ProxyConfig{};
  return found;
}

std::u16string CConnMgrClient::Url() const {
  std::lock_guard lock(mutex_);
  return url_;
}

bool CConnMgrClient::UseProxy() const {
  std::lock_guard lock(mutex_);
  return useProxy_;
}

std::int32_t CConnMgrClient::LastStatus() const {
  std::lock_guard lock(mutex_);
  return lastStatus_;
}

bool CConnMgrClient::CacheOnRelease() const {
  std::lock_guard lock(mutex_);
  return cacheOnRelease_;
}

bool CConnMgrClient::ProxyPresent() const {
  std::lock_guard lock(mutex_);
  return proxyPresent_;
}

ProxyConfig CConnMgrClient::ProxyConfiguration() const {
  std::lock_guard lock(mutex_);
  return proxyConfig_;
}

bool CConnMgrClient::WatcherRunning() const {
  std::lock_guard lock(mutex_);
  return watcher_ && !watcher_->done.IsSet();
}

}  // namespace wrenly
