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

// Asks the kernel for its whole routing table (both families).
bool RequestDump(int fd) {
  struct {
    nlmsghdr header;
    rtmsg route;
  } request{};
  request.header.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
  request.header.nlmsg_type = RTM_GETROUTE;
  request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
  request.header.nlmsg_seq = 1;
  request.route.rtm_family = AF_UNSPEC;
  return ::send(fd, &request, request.header.nlmsg_len, 0) == static_cast<ssize_t>(request.header.nlmsg_len);
}

int OpenKernelStream() {
  UniqueFd fd(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
  if (!fd) return -1;
  sockaddr_nl address{};
  address.nl_family = AF_NETLINK;
  address.nl_groups = RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
  if (::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return -1;
  if (!RequestDump(fd.get())) return -1;
  return fd.release();
}

// The default route a message describes, as a key (family, output device,
// gateway, metric); nothing for any other route.
bool DefaultRouteKey(const nlmsghdr* header, std::string& key) {
  if (header->nlmsg_len < NLMSG_LENGTH(sizeof(rtmsg))) return false;
  const auto* route = static_cast<const rtmsg*>(NLMSG_DATA(header));
  if (route->rtm_dst_len != 0 || route->rtm_type != RTN_UNICAST) return false;
  std::uint32_t table = route->rtm_table;
  key.assign(1, static_cast<char>(route->rtm_family));
  int length = static_cast<int>(RTM_PAYLOAD(header));
  for (const rtattr* a = RTM_RTA(route); RTA_OK(a, length); a = RTA_NEXT(a, length)) {
    const auto* data = static_cast<const char*>(RTA_DATA(a));
    if (a->rta_type == RTA_TABLE && RTA_PAYLOAD(a) >= sizeof table) {
      std::memcpy(&table, data, sizeof table);
    } else if (a->rta_type == RTA_OIF || a->rta_type == RTA_GATEWAY || a->rta_type == RTA_PRIORITY) {
      key += static_cast<char>(a->rta_type);
      key.append(data, RTA_PAYLOAD(a));
    }
  }
  return table == RT_TABLE_MAIN;
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
    pollfd fds[2] = {{fd_.get(), POLLIN, 0}, {stopRead_.get(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[1].revents != 0) break;
    if (fds[0].revents == 0) continue;
    const ssize_t n = ::recv(fd_.get(), buffer, sizeof buffer, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (n < 0 && errno == ENOBUFS) {
      // Messages were lost: read the whole table again.
      Trace("Route messages were lost; reading the routing table again\n");
      {
        std::lock_guard lock(mutex_);
        defaultRoutes_.clear();
      }
      RequestDump(fd_.get());
      continue;
    }
    if (n <= 0) break;
    if (!Apply(buffer, static_cast<std::size_t>(n))) continue;
    // The connected state changed: every open request looks again.
    std::vector<ConnectionHandle> live;
    bool connected;
    {
      std::lock_guard lock(mutex_);
      connected = !defaultRoutes_.empty();
      for (const auto& weak : requests_)
        if (ConnectionHandle request = weak.lock()) live.push_back(std::move(request));
    }
    for (const ConnectionHandle& request : live) request->statusChanged.Set();
    Trace(connected ? "A default route exists: connected\n" : "The last default route is gone: disconnected\n");
    if (!connected) Broadcast(WM_NETCONNECTION_STATE, kConnectionReleased, 0);
  }
  std::lock_guard lock(mutex_);
  known_ = true;  // nothing more will come; waits end
  changed_.notify_all();
}

bool RouteConnectionBackend::Apply(const char* data, std::size_t size) {
  std::lock_guard lock(mutex_);
  const bool before = known_ && !defaultRoutes_.empty();
  int length = static_cast<int>(size);
  std::string key;
  for (auto* h = reinterpret_cast<const nlmsghdr*>(data); NLMSG_OK(h, length); h = NLMSG_NEXT(h, length)) {
    if (h->nlmsg_type == NLMSG_DONE || h->nlmsg_type == NLMSG_ERROR) {
      known_ = true;
    } else if ((h->nlmsg_type == RTM_NEWROUTE || h->nlmsg_type == RTM_DELROUTE) && DefaultRouteKey(h, key)) {
      if (h->nlmsg_type == RTM_NEWROUTE)
        defaultRoutes_.insert(key);
      else
        defaultRoutes_.erase(key);
    }
  }
  changed_.notify_all();
  return known_ && before != !defaultRoutes_.empty();
}

bool RouteConnectionBackend::Connected() {
  std::unique_lock lock(mutex_);
  changed_.wait_for(lock, kFirstDumpWait, [&] { return known_; });
  return !defaultRoutes_.empty();
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
