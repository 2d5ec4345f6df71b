#include "net/scripted_connection_backend.h"

namespace wrenly {

void ScriptedConnectionBackend::SetMapResult(HRESULT result) {
  std::lock_guard lock(mutex_);
  mapResult_ = result;
}

void ScriptedConnectionBackend::SetProbe(const Probe& probe) {
  std::lock_guard lock(mutex_);
  probe_ = probe;
}

void ScriptedConnectionBackend::SetRequest(const Request& request) {
  std::lock_guard lock(mutex_);
  request_ = request;
}

void ScriptedConnectionBackend::SetProxy(HRESULT result, const ProxyConfig& config) {
  std::lock_guard lock(mutex_);
  proxyResult_ = result;
  proxy_ = config;
}

void ScriptedConnectionBackend::ChangeStatus(std::uint32_t status) {
  std::lock_guard lock(mutex_);
  if (!held_) return;
  held_->queued.push_back(static_cast<HRESULT>(status));
  held_->statusChanged.Set();
}

void ScriptedConnectionBackend::FailNextStatusRead(HRESULT result) {
  std::lock_guard lock(mutex_);
  if (!held_) return;
  held_->queued.push_back(result);
  held_->statusChanged.Set();
}

std::vector<ConnectionInfo> ScriptedConnectionBackend::probes() const {
  std::lock_guard lock(mutex_);
  return probes_;
}

std::vector<ConnectionInfo> ScriptedConnectionBackend::requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<bool> ScriptedConnectionBackend::releases() const {
  std::lock_guard lock(mutex_);
  return releases_;
}

std::vector<std::int32_t> ScriptedConnectionBackend::errorReports() const {
  std::lock_guard lock(mutex_);
  return reports_;
}

HRESULT ScriptedConnectionBackend::MapUrl(std::u16string_view, NetworkId* network) {
  std::lock_guard lock(mutex_);
  *network = NetworkId{{1, 2, 3, 4}};
  return mapResult_;
}

HRESULT ScriptedConnectionBackend::EstablishConnection(const ConnectionInfo& info, ConnectionHandle* handle) {
  std::lock_guard lock(mutex_);
  probes_.push_back(info);
  if (Failed(probe_.result)) return probe_.result;
  auto request = std::make_shared<Scripted>();
  request->probe = true;
  request->current = probe_.status;
  if (probe_.signals) request->statusChanged.Set();
  *handle = request;
  return probe_.result;
}

HRESULT ScriptedConnectionBackend::EstablishConnectionSync(const ConnectionInfo& info, ConnectionHandle* handle,
                                                           std::uint32_t, std::uint32_t* status, Event& stop) {
  Request request;
  {
    std::lock_guard lock(mutex_);
    requests_.push_back(info);
    request = request_;
  }
  if (request.waitForStop) {
    stop.Wait(kWaitForever);
    *status = kConnStatusConnectionCanceled;
    return E_FAIL;
  }
  *status = request.status;
  if (Failed(request.result) && request.status != kConnStatusConnected) return request.result;
  auto held = std::make_shared<Scripted>();
  held->current = request.status;
  std::lock_guard lock(mutex_);
  held_ = held;
  *handle = held;
  return request.result;
}

HRESULT ScriptedConnectionBackend::ConnectionStatus(const ConnectionHandle& handle, std::uint32_t* status) {
  std::lock_guard lock(mutex_);
  auto* request = static_cast<Scripted*>(handle.get());
  if (!request->queued.empty()) {
    const HRESULT next = request->queued.front();
    request->queued.pop_front();
    if (!request->queued.empty()) request->statusChanged.Set();
    if (Failed(next)) return next;
    request->current = static_cast<std::uint32_t>(next);
  }
  *status = request->current;
  return S_OK;
}

HRESULT ScriptedConnectionBackend::ReleaseConnection(const ConnectionHandle& handle, bool cache) {
  std::lock_guard lock(mutex_);
  if (!static_cast<Scripted*>(handle.get())->probe) releases_.push_back(cache);
  if (held_ == handle) held_.reset();
  return S_OK;
}

HRESULT ScriptedConnectionBackend::QueryProxy(const ConnectionHandle&, ProxyConfig* config) {
  std::lock_guard lock(mutex_);
  if (!Failed(proxyResult_)) *config = proxy_;
  return proxyResult_;
}

void ScriptedConnectionBackend::ReportNetworkError(std::int32_t status) {
  std::lock_guard lock(mutex_);
  reports_.push_back(status);
}

}  // namespace wrenly
