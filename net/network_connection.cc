#include "net/network_connection.h"

#include "net/messages.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace wrenly {
HRESULT CNetworkConnection::OnConnectionUp() {
  TraceF("Establishing the connection %s, %s proxy\n", Utf16ToUtf8(Url()).c_str(), UseProxy() ? "using" : "without");
  Broadcast(WM_NETCONNECTION_STATE, kConnectionUp, 0);
  return S_OK;
}

HRESULT CNetworkConnection::OnError() {
  const std::int32_t status = LastStatus();
  if (status < 0)
    TraceF("Encountered Error 0x%08x\n", static_cast<unsigned>(status));
  else
    TraceF("Encountered state : %d\n", status);
  return CConnMgrClient::OnError();
}

HRESULT CNetworkConnection::OnConnected() {
  if (QueryProxy())
    TraceF("Connected to network via proxy: %s\n", Utf16ToUtf8(ProxyConfiguration().server).c_str());
  else
    Trace("Connected directly to the network\n");
  return S_OK;
}

HRESULT CNetworkConnection::OnDisconnected() {
  Trace("We are disconnected\n");
  return E_FAIL;
}

HRESULT CNetworkConnection::OnWaiting() {
  Trace("We are waiting for the connection\n");
  return S_OK;
}

HRESULT CNetworkConnection::OnReleased() {
  Trace("Released connection\n");
  Broadcast(WM_NETCONNECTION_STATE, kConnectionReleased, 0);
  return S_OK;
}

CNetworkConnection& TheNetworkConnection() {
  static CNetworkConnection connection(DefaultConnectionBackend());
  return connection;
}

int EnsureNetworkConnection(CNetworkConnection& connection, bool useProxy) {
  const HRESULT path = connection.CheckFastPath(CNetworkConnection::kProbeUrl, useProxy);
  if (path == S_OK) {
    Trace("We can quickly connect to that path.\n");
    return 0;
  }
  if (path < 0) {
    Trace("Unable using current network configuration.\n");
    Broadcast(WM_NETCONNECTION_STATE, kConnectionUnusable, 0);
  } else {
    Trace("No fast connection to that path.\n");
    Broadcast(WM_NETCONNECTION_STATE, kConnectionNoFastPath, 0);
  }
  // Without a watcher no 0x10 would ever come; the downloads themselves then
  // report whether the network is usable.
  if (Failed(connection.StartConnection(CNetworkConnection::kProbeUrl, useProxy))) {
    Trace("No connection could be requested.\n");
    return 0;
  }
  return 1;
}

int EnsureNetworkConnection(bool useProxy) { return EnsureNetworkConnection(TheNetworkConnection(), useProxy); }

}  // namespace wrenly
