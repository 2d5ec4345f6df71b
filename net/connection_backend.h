// The connection backend: what the connection object asks of the system's
// connection manager (map a URL to a network, request, watch and release a
// connection, read its proxy, show a network error report). The default
// backend follows the kernel's routing table (connected while a default
// route exists); the always-connected one reports the network as connected
// at once; tests script their own.
// Implementations must be safe for concurrent use.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/event.h"
#include "net/hresult.h"

namespace wrenly {

// Connection status codes of the connection manager.
constexpr std::uint32_t kConnStatusUnknown = 0x00;
constexpr std::uint32_t kConnStatusConnected = 0x10;
constexpr std::uint32_t kConnStatusDisconnected = 0x20;  // 0x21-0x2F: failures
constexpr std::uint32_t kConnStatusConnectionFailed = 0x21;
constexpr std::uint32_t kConnStatusConnectionCanceled = 0x22;
constexpr std::uint32_t kConnStatusConnectionDisabled = 0x23;
constexpr std::uint32_t kConnStatusNoPathToDestination = 0x24;
constexpr std::uint32_t kConnStatusNoResources = 0x29;
constexpr std::uint32_t kConnStatusWaitingConnection = 0x40;  // 0x40-0x4F: waiting

// ConnectionInfo::params
constexpr std::uint32_t kConnParamGuidDestNet = 0x1;
constexpr std::uint32_t kConnParamMaxConnLatency = 0x8;
// ConnectionInfo::flags, also ProxyConfig::type
constexpr std::uint32_t kConnFlagProxyHttp = 0x1;
constexpr std::uint32_t kConnFlagProxyWap = 0x2;
constexpr std::uint32_t kConnFlagProxySocks4 = 0x4;
constexpr std::uint32_t kConnFlagProxySocks5 = 0x8;
constexpr std::uint32_t kConnPriorityUserInteractive = 0x8000;

struct NetworkId {
  std::array<std::uint8_t, 16> bytes{};
  bool operator==(const NetworkId&) const = default;
};

struct ConnectionInfo {
  std::uint32_t params = 0;
  std::uint32_t flags = 0;
  std::uint32_t priority = 0;
  bool exclusive = false;
  bool disabled = false;  // only test whether a path exists; never dial
  NetworkId destination;
  std::uint32_t maxConnLatencyMs = 0;
};

struct ProxyConfig {
  std::uint32_t type = 0;
  std::u16string server;  // host:port
  std::u16string userName;
  std::u16string password;
};

// A connection request. Its event is set whenever its status changes.
class ConnectionRequest {
 public:
  virtual ~ConnectionRequest() = default;
  Event statusChanged{Event::Mode::kAutoReset};
};
using ConnectionHandle = std::shared_ptr<ConnectionRequest>;

class ConnectionBackend {
 public:
  virtual ~ConnectionBackend() = default;
  virtual HRESULT MapUrl(std::u16string_view url, NetworkId* network) = 0;
  // Starts a request and returns at once; the handle's event tells of its status.
  virtual HRESULT EstablishConnection(const ConnectionInfo& info, ConnectionHandle* handle) = 0;
  // Waits until the connection is up or has failed, at most timeoutMs, and
  // returns early (failing) once stop is set.
  virtual HRESULT EstablishConnectionSync(const ConnectionInfo& info, ConnectionHandle* handle,
                                          std::uint32_t timeoutMs, std::uint32_t* status, Event& stop) = 0;
  virtual HRESULT ConnectionStatus(const ConnectionHandle& handle, std::uint32_t* status) = 0;
  virtual HRESULT ReleaseConnection(const ConnectionHandle& handle, bool cache) = 0;
  virtual HRESULT QueryProxy(const ConnectionHandle& handle, ProxyConfig* config) = 0;
  // Tells the user that the connection could not be made.
  virtual void ReportNetworkError(std::int32_t status) = 0;
};

// The process's backend when nothing else is chosen: the routing-table
// watch (net/route_connection_backend.h), or the always-connected backend
// when the kernel's table cannot be read.
ConnectionBackend& DefaultConnectionBackend();
// Always connected, no proxy (the "AlwaysConnected" setting chooses it).
ConnectionBackend& AlwaysConnectedBackend();

}  // namespace wrenly
