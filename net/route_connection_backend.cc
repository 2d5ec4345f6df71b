#include "net/route_connection_backend.h"

#include <fcntl.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <system_error>

#include "net/messages.h"
#include "platform/notifier.h"
#include "platform/trace.h"

namespace wrenly {
namespace {

constexpr std::chrono::seconds kFirstDumpWait{1};
constexpr std::chrono::milliseconds kSyncSlice{100};
// A dump request the kernel refused waits this long before the next.
constexpr int kDumpRetryMs = 100;

// Asks for the whole routing table (both families).
bool RequestDump(int fd, std::uint32_t seq) {
  struct {
    nlmsghdr header;
    rtmsg route;
  } request{};
  request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
  request.header.nlmsg_type = RTM_GETROUTE;
  request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  request.header.nlmsg_seq = seq;
  request.route.rtm_family = AF_UNSPEC;
  return ::send(fd, &request, request.header.nlmsg_len, MSG_NOSIGNAL) ==
         static_cast<ssize_t>(request.header.nlmsg_len);
}

int OpenKernelStream() {
  UniqueFd fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
  if (!fd) return -1;
  sockaddr_nl address{};
  address.nl_family = AF_NETLINK;
  address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
  if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return -1;
  return fd.release();
}

}  // namespace

RouteConnectionBackend::RouteConnectionBackend(int netlinkFd)
    : fd_(netlinkFd >= 0 ? netlinkFd : OpenKernelStream()) {
  int stop[2];
  if (!fd_ || ::pipe2(stop, O_CLOEXEC) != 0) {
    fd_.reset();
    return;
  }
  stopRead_.reset(stop[0]);
  stopWrite_.reset(stop[1]);
  try {
    reader_ = std::thread(&RouteConnectionBackend::ReadLoop, this);
  } catch (const std::system_error&) {
    fd_.reset();
  }
}

RouteConnectionBackend::~RouteConnectionBackend() {
  if (!reader_.joinable()) return;
  const char stop = 0;
  (void)::write(stopWrite_.get(), &stop, 1);
  reader_.join();
}

void RouteConnectionBackend::ReadLoop() {
  alignas(nlmsghdr) char buffer[32768];
  for (;;) {
    RequestWantedDump();
    bool paused;
    {
      std::lock_guard lock(mutex_);
      paused = table_.Paused();
    }
    pollfd fds[2] = {{fd_.get(), POLLIN, 0}, {stopRead_.get(), POLLIN, 0}};
    const int ready = ::poll(fds, 2, paused ? kDumpRetryMs : -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || fds[1].revents != 0) break;
    if (ready == 0) {
      std::lock_guard lock(mutex_);
      table_.RetryAfterPause();
      continue;
    }
    const ssize_t n = ::recv(fd_.get(), buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n < 0 && errno == ENOBUFS) {
      Trace("Route messages were lost; reading the routing table again\n");
      std::lock_guard lock(mutex_);
      table_.Overrun();
      continue;
    }
    if (n <= 0) break;
    bool changed;
    {
      std::lock_guard lock(mutex_);
      changed = table_.Apply(buffer, static_cast<std::size_t>(n));
      changed_.notify_all();
    }
    if (changed) ReportChange();
  }
  std::lock_guard lock(mutex_);
  table_.SetKnown();  // nothing more will come; waits end
  changed_.notify_all();
}

void RouteConnectionBackend::RequestWantedDump() {
  {
    std::lock_guard lock(mutex_);
    if (!table_.DumpWanted()) return;
  }
  // Only this thread changes the table, so the wish still stands.
  if (++lastSeq_ == 0) ++lastSeq_;  // 0 means no dump
  const std::uint32_t seq = lastSeq_;
  const bool sent = RequestDump(fd_.get(), seq);
  std::lock_guard lock(mutex_);
  if (sent)
    table_.DumpSent(seq);
  else
    table_.DumpNotSent();
}

void RouteConnectionBackend::ReportChange() {
  std::vector<ConnectionHandle> live;
  bool connected;
  {
    std::lock_guard lock(mutex_);
    connected = table_.Connected();
    for (const auto& weak : requests_)
      if (ConnectionHandle request = weak.lock()) live.push_back(std::move(request));
  }
  for (const ConnectionHandle& request : live) request->statusChanged.Set();
  Trace(connected ? "A default route exists: connected\n" : "The last default route is gone: disconnected\n");
  if (!connected) Broadcast(WM_NETCONNECTION_STATE, kConnectionReleased, 0);
}

bool RouteConnectionBackend::Connected() {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, kFirstDumpWait, [&] { return table_.known(); });
  return table_.Connected();
}

ConnectionHandle RouteConnectionBackend::NewRequest() {
  auto request = std::make_shared<ConnectionRequest>();
  std::lock_guard lock(mutex_);
  std::erase_if(requests_, [](const std::weak_ptr<ConnectionRequest>& w) { return w.expired(); });
  requests_.push_back(request);
  return request;
}

HRESULT RouteConnectionBackend::MapUrl(std::u16string_view, NetworkId* network) {
  *network = NetworkId{{0x52, 0x4f, 0x55, 0x54}};  // every address goes through the default route
  return S_OK;
}

HRESULT RouteConnectionBackend::EstablishConnection(const ConnectionInfo&, ConnectionHandle* handle) {
  *handle = NewRequest();
  (*handle)->statusChanged.Set();  // the status can be read at once
  return S_OK;
}

HRESULT RouteConnectionBackend::EstablishConnectionSync(const ConnectionInfo&, ConnectionHandle* handle,
                                                        std::uint32_t timeoutMs, std::uint32_t* status,
                                                        Event& stop) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!Connected()) {
    if (stop.Wait(kSyncSlice)) {
      *status = kConnStatusConnectionCanceled;
      return E_FAIL;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      *status = kConnStatusNoPathToDestination;
      return E_FAIL;
    }
  }
  *handle = NewRequest();
  *status = kConnStatusConnected;
  return S_OK;
}

HRESULT RouteConnectionBackend::ConnectionStatus(const ConnectionHandle&, std::uint32_t* status) {
  *status = Connected() ? kConnStatusConnected : kConnStatusDisconnected;
  return S_OK;
}

HRESULT RouteConnectionBackend::ReleaseConnection(const ConnectionHandle& handle, bool) {
  std::lock_guard lock(mutex_);
  std::erase_if(requests_, [&](const std::weak_ptr<ConnectionRequest>& w) {
    const ConnectionHandle held = w.lock();
    return !held || held == handle;
  });
  return S_OK;
}

HRESULT RouteConnectionBackend::QueryProxy(const ConnectionHandle&, ProxyConfig*) { return E_FAIL; }

void RouteConnectionBackend::ReportNetworkError(std::int32_t status) {
  TraceF("No network connection (status 0x%x): no default route\n", static_cast<unsigned>(status));
}

}  // namespace wrenly
