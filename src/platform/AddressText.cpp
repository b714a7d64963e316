#include "platform/AddressText.h"

namespace lectryn::platform {
namespace {

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsAsciiDigit(char c) {
  return c >= '0' && c <= '9';
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (!IsAsciiDigit(c)) return false;
  return true;
}

bool IsHostChar(char c) {
  return IsAsciiLetter(c) || IsAsciiDigit(c) || c == '-' || c == '.';
}

}  // namespace

std::string SchemeOf(std::string_view address) {
  size_t colon = address.find(':');
  if (colon == std::string_view::npos || colon < 2 || !IsAsciiLetter(address[0])) return {};
  for (size_t i = 1; i < colon; ++i) {
    char c = address[i];
    if (!IsAsciiLetter(c) && !IsAsciiDigit(c) && c != '+' && c != '-' && c != '.') return {};
  }
  size_t portEnd = address.find_first_of("/?#", colon + 1);
  if (AllDigits(address.substr(colon + 1, portEnd == std::string_view::npos ? portEnd : portEnd - colon - 1)))
    return {};
  std::string scheme(address.substr(0, colon));
  for (char& c : scheme)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return scheme;
}

bool StartsWithHostName(std::string_view address) {
  size_t hostEnd = address.find_first_of("/?#");
  std::string_view host = address.substr(0, hostEnd);
  if (size_t colon = host.find(':'); colon != std::string_view::npos) {
    if (!AllDigits(host.substr(colon + 1))) return false;
    host = host.substr(0, colon);
  }
  if (host.empty() || host.front() == '.' || host.front() == '-' || host.back() == '.' || host.back() == '-')
    return false;
  for (char c : host)
    if (!IsHostChar(c)) return false;
  return host.find('.') != std::string_view::npos || host == "localhost" ||
         (hostEnd != std::string_view::npos && address[hostEnd] == '/');
}

}  // namespace lectryn::platform
