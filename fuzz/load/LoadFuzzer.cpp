// The loader's address and charset handling. The first line is a base address and a Content-Type
// value; the rest is a reference to resolve and the bytes of a page.
#include <cstddef>
#include <cstdint>
#include <string>

#include "common/FuzzChecks.h"
#include "engine/load/Address.h"
#include "engine/load/Charset.h"

using lectryn::fuzz::IsValidUtf8;
using lectryn::fuzz::Require;
namespace engine = lectryn::engine;

namespace {

void Addresses(std::string_view head, std::string_view rest) {
  engine::KindOf(rest);
  Require(engine::PercentDecode(rest).size() <= rest.size(), "decoding never grows text");
  engine::NormalizeAddress(rest);
  engine::SameOrigin(head, rest);
  engine::ResolveAddress(head, rest);
  if (auto path = engine::PathFromFileUrl(rest); path && path->starts_with('/')) {
    Require(engine::PathFromFileUrl(engine::FileUrlFromPath(*path)) == *path,
            "a file path survives its file:// address");
  }
  if (rest.starts_with('/')) {
    Require(engine::PathFromFileUrl(engine::FileUrlFromPath(rest)) == rest,
            "a path survives its file:// address");
  }
}

void Charsets(std::string_view contentType, std::string_view bytes) {
  engine::MediaTypeOf(contentType);
  engine::ConverterNameOf(engine::CharsetOfContentType(contentType));
  engine::PrescanCharset(bytes);
  engine::DecodedPage page = engine::DecodeToUtf8(bytes, contentType);
  Require(IsValidUtf8(page.utf8), "a decoded page is UTF-8");
  Require(IsValidUtf8(engine::RepairUtf8(bytes)), "repaired text is UTF-8");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t newline = input.find('\n');
  std::string_view head = input.substr(0, newline);
  std::string_view rest = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);
  Addresses(head, rest);
  Charsets(head, rest);
  return 0;
}
