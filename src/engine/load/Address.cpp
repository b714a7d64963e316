#include "engine/load/Address.h"

#include <unistd.h>

#include <cctype>
#include <vector>

#include "platform/AddressText.h"
#include "platform/Text.h"

namespace lectryn::engine {
namespace {

using platform::SchemeOf;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

// scheme:[//authority]path[?query][#fragment], split without decoding (RFC 3986, section 3).
struct Parts {
  std::string scheme;
  bool hasAuthority = false;
  std::string authority;
  std::string path;
  std::optional<std::string> query;
  std::optional<std::string> fragment;
};

bool IsWebOrFileScheme(const std::string& scheme) {
  return scheme == "http" || scheme == "https" || scheme == "file";
}

// Browsers read a backslash in the path of a web or file address as a slash.
std::string SlashesForBackslashes(std::string_view text) {
  std::string out(text);
  size_t end = out.find_first_of("?#");
  for (size_t i = 0; i < out.size() && i < end; ++i)
    if (out[i] == '\\') out[i] = '/';
  return out;
}

Parts Split(std::string_view original) {
  Parts parts;
  parts.scheme = SchemeOf(original);
  std::string normalized;
  std::string_view text = original;
  if (IsWebOrFileScheme(parts.scheme)) {
    normalized = SlashesForBackslashes(original);
    text = normalized;
  }
  if (!parts.scheme.empty()) text.remove_prefix(parts.scheme.size() + 1);
  if (size_t hash = text.find('#'); hash != std::string_view::npos) {
    parts.fragment = std::string(text.substr(hash + 1));
    text = text.substr(0, hash);
  }
  if (size_t question = text.find('?'); question != std::string_view::npos) {
    parts.query = std::string(text.substr(question + 1));
    text = text.substr(0, question);
  }
  if (text.starts_with("//")) {
    parts.hasAuthority = true;
    text.remove_prefix(2);
    size_t slash = text.find('/');
    parts.authority = std::string(text.substr(0, slash));
    text = slash == std::string_view::npos ? std::string_view() : text.substr(slash);
  }
  parts.path = std::string(text);
  return parts;
}

std::string Join(const Parts& parts) {
  std::string out;
  if (!parts.scheme.empty()) out += parts.scheme + ":";
  if (parts.hasAuthority) out += "//" + parts.authority;
  out += parts.path;
  if (parts.query) out += "?" + *parts.query;
  if (parts.fragment) out += "#" + *parts.fragment;
  return out;
}

// RFC 3986, section 5.2.4.
std::string RemoveDotSegments(std::string_view path) {
  std::vector<std::string_view> segments;
  bool absolute = path.starts_with('/');
  if (absolute) path.remove_prefix(1);
  bool trailingSlash = false;
  while (true) {
    size_t slash = path.find('/');
    std::string_view segment = path.substr(0, slash);
    bool last = slash == std::string_view::npos;
    if (segment == "..") {
      if (!segments.empty()) segments.pop_back();
      trailingSlash = true;
    } else if (segment == ".") {
      trailingSlash = true;
    } else {
      segments.push_back(segment);
      trailingSlash = false;
    }
    if (last) break;
    path.remove_prefix(slash + 1);
  }
  std::string out = absolute ? "/" : "";
  for (size_t i = 0; i < segments.size(); ++i) {
    if (i > 0) out += '/';
    out += segments[i];
  }
  if (trailingSlash && !out.empty() && out.back() != '/') out += '/';
  return out;
}

std::string MergePaths(const Parts& base, std::string_view reference) {
  if (base.hasAuthority && base.path.empty()) return "/" + std::string(reference);
  size_t slash = base.path.rfind('/');
  if (slash == std::string::npos) return std::string(reference);
  return base.path.substr(0, slash + 1) + std::string(reference);
}

struct Origin {
  std::string host;
  std::string port;
};

Origin OriginOf(const Parts& parts) {
  std::string_view authority = parts.authority;
  if (size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
  Origin origin;
  size_t colon = authority.rfind(':');
  size_t bracket = authority.rfind(']');
  if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
    origin.port = std::string(authority.substr(colon + 1));
    authority = authority.substr(0, colon);
  }
  origin.host = Lower(authority);
  if (origin.port.empty()) origin.port = parts.scheme == "https" ? "443" : "80";
  return origin;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

AddressKind KindOf(std::string_view address) {
  std::string scheme = SchemeOf(address);
  if (scheme.empty() || scheme == "file") return AddressKind::File;
  if (scheme == "http" || scheme == "https") return AddressKind::Http;
  if (scheme == "javascript") return AddressKind::Javascript;
  if (scheme == "about" && Lower(address) == "about:blank") return AddressKind::AboutBlank;
  return AddressKind::Unsupported;
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    int high = -1;
    int low = -1;
    if (text[i] == '%' && i + 2 < text.size()) {
      high = HexValue(text[i + 1]);
      low = HexValue(text[i + 2]);
    }
    if (high >= 0 && low >= 0) {
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string FileUrlFromPath(std::string_view absolutePath) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out = "file://";
  for (char c : absolutePath) {
    auto byte = static_cast<unsigned char>(c);
    bool keep =
        byte > 0x20 && byte < 0x7F && std::string_view("%#?\"<>\\^`{|}").find(c) == std::string_view::npos;
    if (keep) {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
  return out;
}

std::string NormalizeAddress(std::string_view address) {
  std::string scheme = SchemeOf(address);
  if (IsWebOrFileScheme(scheme)) return SlashesForBackslashes(address);
  if (!scheme.empty()) return std::string(address);
  std::string path(address);
  if (!path.starts_with('/')) {
    std::vector<char> buffer(4096);
    if (getcwd(buffer.data(), buffer.size()) != nullptr) {
      std::string folder = buffer.data();
      if (folder.empty() || folder.back() != '/') folder += '/';
      path = folder + path;
    }
  }
  return FileUrlFromPath(RemoveDotSegments(path));
}

std::optional<std::string> PathFromFileUrl(std::string_view url) {
  if (SchemeOf(url).empty()) return std::string(url);
  Parts parts = Split(url);
  if (parts.scheme != "file") return std::nullopt;
  if (parts.hasAuthority && !parts.authority.empty() && Lower(parts.authority) != "localhost")
    return std::nullopt;
  std::string path = PercentDecode(parts.path);
  if (path.empty()) path = "/";
  return path;
}

std::optional<std::string> ResolveAddress(std::string_view base, std::string_view reference) {
  // Browsers strip surrounding white space and drop tabs and newlines inside addresses.
  std::string cleaned;
  for (char c : reference)
    if (c != '\t' && c != '\n' && c != '\r') cleaned += c;
  std::string_view trimmed = platform::TrimAsciiSpace(cleaned);
  if (trimmed.empty()) return std::nullopt;

  Parts ref = Split(trimmed);
  if (!ref.scheme.empty()) {
    if (ref.hasAuthority || ref.path.starts_with('/')) ref.path = RemoveDotSegments(ref.path);
    return Join(ref);
  }
  Parts baseParts = Split(base);
  bool hierarchical = baseParts.hasAuthority || baseParts.path.starts_with('/');
  if (baseParts.scheme.empty() || !hierarchical) return std::nullopt;

  // RFC 3986, section 5.2.2.
  Parts target;
  target.scheme = baseParts.scheme;
  target.fragment = ref.fragment;
  if (ref.hasAuthority) {
    target.hasAuthority = true;
    target.authority = ref.authority;
    target.path = RemoveDotSegments(ref.path);
    target.query = ref.query;
    return Join(target);
  }
  target.hasAuthority = baseParts.hasAuthority;
  target.authority = baseParts.authority;
  if (ref.path.empty()) {
    target.path = baseParts.path;
    target.query = ref.query ? ref.query : baseParts.query;
  } else {
    target.path = RemoveDotSegments(ref.path.starts_with('/') ? ref.path : MergePaths(baseParts, ref.path));
    target.query = ref.query;
  }
  return Join(target);
}

bool SameOrigin(std::string_view pageAddress, std::string_view frameAddress) {
  AddressKind frameKind = KindOf(frameAddress);
  if (frameKind == AddressKind::AboutBlank || frameKind == AddressKind::Javascript) return true;
  AddressKind pageKind = KindOf(pageAddress);
  if (pageKind != frameKind) return false;
  if (pageKind == AddressKind::File)
    return PathFromFileUrl(pageAddress).has_value() && PathFromFileUrl(frameAddress).has_value();
  if (pageKind != AddressKind::Http) return false;
  Parts page = Split(pageAddress);
  Parts frame = Split(frameAddress);
  if (page.scheme != frame.scheme) return false;
  Origin a = OriginOf(page);
  Origin b = OriginOf(frame);
  return a.host == b.host && a.port == b.port;
}

}  // namespace lectryn::engine
