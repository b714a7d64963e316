#pragma once
// Page addresses: what kind an address is, local paths and file:// addresses, resolving a frame's
// src against its page, and whether two addresses share an origin. Addresses are UTF-8 strings.
#include <optional>
#include <string>
#include <string_view>

namespace lectryn::engine {

enum class AddressKind { File, Http, AboutBlank, Javascript, Unsupported };

// A plain path (no "scheme:" in front) counts as a file.
AddressKind KindOf(std::string_view address);

// "%41" becomes "A"; a "%" not followed by two hex digits stays as it is.
std::string PercentDecode(std::string_view text);

// The address shown for what the user typed: a plain path becomes an absolute file:// address
// (relative paths against the current folder); anything else is returned unchanged.
std::string NormalizeAddress(std::string_view address);

// "file:///a%20b/c.htm" -> "/a b/c.htm"; also "file://localhost/...". Query and fragment are
// dropped. Nothing for other hosts or other schemes.
std::optional<std::string> PathFromFileUrl(std::string_view url);
std::string FileUrlFromPath(std::string_view absolutePath);

// Resolves reference (a frame's src) against base, the way a browser resolves relative links.
// Nothing when there is no sensible result (an empty reference, a base that cannot take one).
std::optional<std::string> ResolveAddress(std::string_view base, std::string_view reference);

// The frame rule: a frame is loaded only from its page's origin. Files may load files;
// http and https pages may load the same scheme, host and port.
bool SameOrigin(std::string_view pageAddress, std::string_view frameAddress);

}  // namespace lectryn::engine
