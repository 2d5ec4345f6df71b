// CNetworkConnection: the process's connection object. It tells the rest of
// the process about the connection with WM_NETCONNECTION_STATE broadcasts
// (0x10 up, 0x20 released, 0x24 no fast path, 0x29 network unusable) and
// writes its progress to the trace sink. EnsureNetworkConnection is what a
// refresh or the fetcher asks before downloading. Safe for concurrent use.
#pragma once

#include <string_view>

#include "net/conn_mgr_client.h"

namespace wrenly {

class CNetworkConnection : public CConnMgrClient {
 public:
  // The address whose path is tested; only handed to the backend.
  static constexpr std::u16string_view kProbeUrl = u"http://www.example.com/";

  explicit CNetworkConnection(ConnectionBackend& backend) : CConnMgrClient(backend) {}
  ~CNetworkConnection() override { StopAndJoin(); }

 protected:
  HRESULT OnConnectionUp() override;
  HRESULT OnError() override;
  HRESULT OnConnected() override;
  HRESULT OnDisconnected() override;
  HRESULT OnWaiting() override;
  HRESULT OnReleased() override;
};

// The process-wide connection object, over DefaultConnectionBackend() until
// UseBackend chooses another.
CNetworkConnection& TheNetworkConnection();

// 0 when the network can be used now (no connection is held); 1 when a
// connection is being brought up: the caller then waits for
// WM_NETCONNECTION_STATE 0x10.
int EnsureNetworkConnection(CNetworkConnection& connection, bool useProxy);
int EnsureNetworkConnection(bool useProxy);

}  // namespace wrenly
