#pragma once
// What an address says about itself as written, before anything is loaded: its scheme, and
// whether it starts with a host name. Loading, the shell and drops all read addresses by these.
#include <string>
#include <string_view>

namespace lectryn::platform {

// The scheme in front of the first ':', lower case; empty for a plain path. One letter is a
// drive, not a scheme, and "host:8080/path" is a host with a port.
std::string SchemeOf(std::string_view address);

// A host name is dotted ("www.example.com"), "localhost", or any single label followed by a path,
// with or without a port; so "www.example.com/a" may be meant as "http://www.example.com/a".
bool StartsWithHostName(std::string_view address);

}  // namespace lectryn::platform
