// The machine's IPv4 addresses (see OsFacts.h).

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <limits.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "runtime/OsFacts.h"

namespace lumo {
namespace {

bool IsLoopback(const std::string& address) { return address.starts_with("127."); }

void AddOnce(std::vector<std::string>& list, const std::string& address) {
  if (std::find(list.begin(), list.end(), address) == list.end()) list.push_back(address);
}

std::string DottedText(const sockaddr* address) {
  char text[INET_ADDRSTRLEN] = {};
  const auto* ipv4 = reinterpret_cast<const sockaddr_in*>(address);
  if (inet_ntop(AF_INET, &ipv4->sin_addr, text, sizeof text) == nullptr) return std::string();
  return text;
}

std::vector<std::string> ResolveHostName() {
  std::vector<std::string> addresses;
  char host[HOST_NAME_MAX + 1] = {};
  if (gethostname(host, sizeof host) != 0) return addresses;
  host[HOST_NAME_MAX] = '\0';
  addrinfo hints{};
  hints.ai_family = AF_INET;
  // One socket type is enough: the resolver would otherwise repeat every address per type.
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* results = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &results) != 0) return addresses;
  for (addrinfo* entry = results; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET || entry->ai_addr == nullptr) continue;
    std::string text = DottedText(entry->ai_addr);
    if (!text.empty()) AddOnce(addresses, text);
  }
  freeaddrinfo(results);
  return addresses;
}

std::vector<std::string> InterfaceAddresses() {
  std::vector<std::string> addresses;
  ifaddrs* interfaces = nullptr;
  if (getifaddrs(&interfaces) != 0) return addresses;
  for (ifaddrs* entry = interfaces; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
    std::string text = DottedText(entry->ifa_addr);
    if (!text.empty()) AddOnce(addresses, text);
  }
  freeifaddrs(interfaces);
  return addresses;
}

}  // namespace

std::vector<std::string> ChooseIPv4Addresses(const std::vector<std::string>& resolved,
                                             const std::vector<std::string>& interfaces) {
  std::vector<std::string> chosen;
  for (const std::string& address : resolved) AddOnce(chosen, address);
  if (std::any_of(chosen.begin(), chosen.end(), [](const auto& a) { return !IsLoopback(a); })) {
    return chosen;
  }
  std::vector<std::string> fromInterfaces;
  for (const std::string& address : interfaces) {
    if (!IsLoopback(address)) AddOnce(fromInterfaces, address);
  }
  return fromInterfaces.empty() ? chosen : fromInterfaces;
}

std::vector<std::string> LocalIPv4Addresses() {
  std::vector<std::string> resolved = ResolveHostName();
  bool onlyLoopback = std::all_of(resolved.begin(), resolved.end(), IsLoopback);
  // The interfaces are only asked when the resolver gave nothing better.
  return ChooseIPv4Addresses(resolved,
                             onlyLoopback ? InterfaceAddresses() : std::vector<std::string>());
}

}  // namespace lumo
