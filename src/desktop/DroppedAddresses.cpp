#include "desktop/DroppedAddresses.h"

#include <QMimeData>
#include <QUrl>

#include "engine/load/Address.h"
#include "platform/AddressText.h"
#include "platform/Text.h"

namespace lectryn::desktop {

std::vector<std::u16string> DroppedAddresses(const std::vector<std::string>& urls, std::u16string_view text) {
  std::vector<std::u16string> addresses;
  for (const std::string& url : urls) {
    std::string_view link = platform::TrimAsciiSpace(url);
    if (link.empty()) continue;
    // A file of this computer opens by its path; a file:// link of another host stays an address.
    std::optional<std::string> path;
    if (platform::SchemeOf(link) == "file") path = engine::PathFromFileUrl(link);
    addresses.push_back(platform::FromUtf8(path ? *path : link));
  }
  if (!addresses.empty()) return addresses;
  while (!text.empty()) {
    size_t end = text.find(u'\n');
    std::u16string_view line = platform::TrimAsciiSpace(text.substr(0, end));
    if (!line.empty()) addresses.emplace_back(line);
    if (end == std::u16string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return addresses;
}

std::vector<std::u16string> DroppedAddresses(const QMimeData& data) {
  std::vector<std::string> urls;
  if (data.hasUrls())
    for (const QUrl& url : data.urls()) urls.push_back(url.toString(QUrl::FullyEncoded).toStdString());
  std::u16string text = data.hasText() ? data.text().toStdU16String() : std::u16string();
  return DroppedAddresses(urls, text);
}

}  // namespace lectryn::desktop
