#include "net/connection_backend.h"

#include "net/route_connection_backend.h"
#include "platform/trace.h"

namespace wrenly {
namespace {

// A desktop reaches the network through whatever the system has set up; there
// is nothing to dial, so every request is connected at once.
class AlwaysConnected final : public ConnectionBackend {
 public:
  HRESULT MapUrl(std::u16string_view, NetworkId* network) override {
    *network = NetworkId{{0x49, 0x4e, 0x45, 0x54}};  // the one network there is
    return S_OK;
  }
  HRESULT EstablishConnection(const ConnectionInfo&, ConnectionHandle* handle) override {
    *handle = std::make_shared<ConnectionRequest>();
    (*handle)->statusChanged.Set();
    return S_OK;
  }
  HRESULT EstablishConnectionSync(const ConnectionInfo&, ConnectionHandle* handle, std::uint32_t,
                                  std::uint32_t* status, Event&) override {
    *handle = std::make_shared<ConnectionRequest>();
    *status = kConnStatusConnected;
    return S_OK;
  }
  HRESULT ConnectionStatus(const ConnectionHandle&, std::uint32_t* status) override {
    *status = kConnStatusConnected;
    return S_OK;
  }
  HRESULT ReleaseConnection(const ConnectionHandle&, bool) override { return S_OK; }
  HRESULT QueryProxy(const ConnectionHandle&, ProxyConfig*) override { return E_FAIL; }
  void ReportNetworkError(std::int32_t status) override {
    TraceF("Network error report: -CMERROR 0x%x -report\n", static_cast<unsigned>(status));
  }
};

}  // namespace

ConnectionBackend& AlwaysConnectedBackend() {
  static AlwaysConnected backend;
  return backend;
}

ConnectionBackend& DefaultConnectionBackend() {
  static RouteConnectionBackend routes;
  if (routes.ok()) return routes;
  return AlwaysConnectedBackend();
}

}  // namespace wrenly
