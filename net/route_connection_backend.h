// The connection backend of a Linux desktop: it follows the kernel's routing
// table over netlink (route and link events; the table is read again after
// a link change or lost messages) and counts the network as connected while
// a usable default route (IPv4 or IPv6, main table) exists. Every open request's event is set
// when that changes, and the loss of the last default route is broadcast as
// WM_NETCONNECTION_STATE 0x20, so a running refresh is cancelled. One thread
// of its own reads the netlink stream; safe for concurrent use.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "net/connection_backend.h"
#include "net/route_table.h"
#include "platform/unique_fd.h"

namespace wrenly {

class RouteConnectionBackend final : public ConnectionBackend {
 public:
  // Reads route messages from netlinkFd (taken over; tests inject a stream of
  // their own and answer the dump requests sent on it) or, with -1, from the
  // kernel. Asks for the table first.
  explicit RouteConnectionBackend(int netlinkFd = -1);
  ~RouteConnectionBackend() override;
  RouteConnectionBackend(const RouteConnectionBackend&) = delete;
  RouteConnectionBackend& operator=(const RouteConnectionBackend&) = delete;

  // False when no stream could be opened: the backend then knows nothing.
  bool ok() const { return static_cast<bool>(fd_); }
  // Whether a default route exists; waits up to a second for the first
  // table dump to end.
  bool Connected();

  HRESULT MapUrl(std::u16string_view url, NetworkId* network) override;
  HRESULT EstablishConnection(const ConnectionInfo& info, ConnectionHandle* handle) override;
  HRESULT EstablishConnectionSync(const ConnectionInfo& info, ConnectionHandle* handle, std::uint32_t timeoutMs,
                                  std::uint32_t* status, Event& stop) override;
  HRESULT ConnectionStatus(const ConnectionHandle& handle, std::uint32_t* status) override;
  HRESULT ReleaseConnection(const ConnectionHandle& handle, bool cache) override;
  HRESULT QueryProxy(const ConnectionHandle& handle, ProxyConfig* config) override;
  void ReportNetworkError(std::int32_t status) override;

 private:
  void ReadLoop();
  // Sends the dump request the table wants, if any.
  void RequestWantedDump();
  // Every open request looks again; the loss of the last route is broadcast.
  void ReportChange();
  ConnectionHandle NewRequest();

  UniqueFd fd_;
  UniqueFd stopRead_, stopWrite_;  // a byte ends the read loop
  std::mutex mutex_;
  std::condition_variable changed_;
  RouteTable table_;
  std::uint32_t lastSeq_ = 0;  // of the dump requests; only the reader uses it
  std::vector<std::weak_ptr<ConnectionRequest>> requests_;
  std::thread reader_;
};

}  // namespace wrenly
