#pragma once
// What a drop onto a window of the program opens: every link it carries (local files as their
// paths, other addresses as written), or else every line of its text that is not blank. The main
// window opens each of them; a page window, which shows one page, the first.
#include <string>
#include <string_view>
#include <vector>

class QMimeData;

namespace lectryn::desktop {

// `urls` are the drop's links, percent-encoded as Qt gives them; `text` its plain text.
std::vector<std::u16string> DroppedAddresses(const std::vector<std::string>& urls, std::u16string_view text);
std::vector<std::u16string> DroppedAddresses(const QMimeData& data);

}  // namespace lectryn::desktop
