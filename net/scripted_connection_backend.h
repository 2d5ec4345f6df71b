// A connection backend driven by a test: it answers the path test and the
// connection request as told, lets the test change the held connection's
// status, and records what it was asked. For the tests of net/ and of its
// callers; never linked into a program. Safe for concurrent use.
#pragma once

#include <deque>
#include <mutex>
#include <vector>

#include "net/connection_backend.h"

namespace wrenly {

class ScriptedConnectionBackend final : public ConnectionBackend {
 public:
  // The path test (EstablishConnection): its result, whether its handle is
  // ever signalled, and the status it then reads.
  struct Probe {
    HRESULT result = S_OK;
    bool signals = true;
    std::uint32_t status = kConnStatusConnected;
  };
  // The connection request (EstablishConnectionSync). When waitForStop is
  // set it returns only once the caller's stop event is set, failing with
  // kConnStatusConnectionCanceled.
  struct Request {
    HRESULT result = S_OK;
    std::uint32_t status = kConnStatusConnected;
    bool waitForStop = false;
  };

  void SetMapResult(HRESULT result);
  void SetProbe(const Probe& probe);
  void SetRequest(const Request& request);
  void SetProxy(HRESULT result, const ProxyConfig& config);
  // Queues a status for the held connection and signals its handle; a failing
  // read is queued with FailNextStatusRead.
  void ChangeStatus(std::uint32_t status);
  void FailNextStatusRead(HRESULT result);

  std::vector<ConnectionInfo> probes() const;
  std::vector<ConnectionInfo> requests() const;
  std::vector<bool> releases() const;  // the cache flag of each release of a held connection
  std::vector<std::int32_t> errorReports() const;

  HRESULT MapUrl(std::u16string_view url, NetworkId* network) override;
  HRESULT EstablishConnection(const ConnectionInfo& info, ConnectionHandle* handle) override;
  HRESULT EstablishConnectionSync(const ConnectionInfo& info, ConnectionHandle* handle, std::uint32_t timeoutMs,
                                  std::uint32_t* status, Event& stop) override;
  HRESULT ConnectionStatus(const ConnectionHandle& handle, std::uint32_t* status) override;
  HRESULT ReleaseConnection(const ConnectionHandle& handle, bool cache) override;
  HRESULT QueryProxy(const ConnectionHandle& handle, ProxyConfig* config) override;
  void ReportNetworkError(std::int32_t status) override;

 private:
  struct Scripted : ConnectionRequest {
    bool probe = false;
    std::uint32_t current = kConnStatusUnknown;
    std::deque<HRESULT> queued;  // statuses, or failing reads as negative values
  };

  mutable std::mutex mutex_;
  HRESULT mapResult_ = S_OK;
  Probe probe_;
  Request request_;
  HRESULT proxyResult_ = E_FAIL;
  ProxyConfig proxy_;
  std::shared_ptr<Scripted> held_;
  std::vector<ConnectionInfo> probes_, requests_;
  std::vector<bool> releases_;
  std::vector<std::int32_t> reports_;
};

}  // namespace wrenly
