#include "accessibility/atspi/TreeReader.h"

#include <atspi/atspi-constants.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include "accessibility/atspi/Interfaces.h"
#include "platform/Text.h"

namespace lectryn::accessibility::atspi {
namespace {

bool Has(uint64_t states, AtspiStateType state) {
  return (states >> state) & 1U;
}

// Off-screen tricks move content far to the side of the page; content above or below the view
// belongs to a scrolled page.
bool Unknown(const AxExtents& e) {
  return e.x == -1 && e.y == -1 && e.width == -1 && e.height == -1;
}

bool EntirelyOutside(const AxExtents& object, const AxExtents& document) {
  if (object.width <= 0) return false;
  bool documentKnown = document.width > 0;  // one program answers -1s until it has laid out
  int32_t left = documentKnown ? document.x : 0;
  return object.x + object.width <= left || (documentKnown && object.x >= document.x + document.width);
}

}  // namespace

AxRole RoleOf(uint32_t atspiRole) {
  switch (atspiRole) {
    case ATSPI_ROLE_DOCUMENT_WEB:
      return AxRole::Document;
    case ATSPI_ROLE_PARAGRAPH:
      return AxRole::Paragraph;
    case ATSPI_ROLE_HEADING:
      return AxRole::Heading;
    case ATSPI_ROLE_LIST:
    case ATSPI_ROLE_DESCRIPTION_LIST:
      return AxRole::List;
    case ATSPI_ROLE_LIST_ITEM:
    case ATSPI_ROLE_DESCRIPTION_TERM:
    case ATSPI_ROLE_DESCRIPTION_VALUE:
      return AxRole::ListItem;
    case ATSPI_ROLE_TABLE:
      return AxRole::Table;
    case ATSPI_ROLE_TABLE_ROW:
      return AxRole::Row;
    case ATSPI_ROLE_TABLE_CELL:
    case ATSPI_ROLE_TABLE_COLUMN_HEADER:
    case ATSPI_ROLE_TABLE_ROW_HEADER:
    case ATSPI_ROLE_COLUMN_HEADER:
    case ATSPI_ROLE_ROW_HEADER:
      return AxRole::Cell;
    case ATSPI_ROLE_LINK:
      return AxRole::Link;
    case ATSPI_ROLE_SECTION:
    case ATSPI_ROLE_PANEL:
    case ATSPI_ROLE_ARTICLE:
    case ATSPI_ROLE_FORM:
    case ATSPI_ROLE_LANDMARK:
    case ATSPI_ROLE_BLOCK_QUOTE:
    case ATSPI_ROLE_GROUPING:
    case ATSPI_ROLE_HEADER:
    case ATSPI_ROLE_FOOTER:
      return AxRole::Section;
    case ATSPI_ROLE_STATIC:
      return AxRole::Text;
    case ATSPI_ROLE_PASSWORD_TEXT:
      return AxRole::Password;
    case ATSPI_ROLE_INTERNAL_FRAME:
      return AxRole::Frame;
    default:
      return AxRole::Other;
  }
}

bool IsLanguageTag(const std::string& locale) {
  if (locale.empty() || locale.size() > 35 || !std::isalpha(static_cast<unsigned char>(locale[0])))
    return false;
  if (locale == "C" || locale == "POSIX") return false;
  return std::all_of(locale.begin(), locale.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-'; });
}

std::vector<int32_t> EmbeddedOffsets(const std::string& utf8) {
  std::vector<int32_t> offsets;
  int32_t offset = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    auto byte = static_cast<unsigned char>(utf8[i]);
    if ((byte & 0xC0U) == 0x80U) continue;  // continuation bytes belong to the last character
    if (utf8.compare(i, 3, "\xEF\xBF\xBC") == 0) offsets.push_back(offset);
    ++offset;
  }
  return offsets;
}

AxNode TreeReader::Read(AxRef document) {
  items_.clear();
  Item root;
  root.object = table_.Find(document);
  items_.push_back(std::move(root));
  ReadLevels();
  AxExtents extents = client_.Call(bus::Extents(items_.front().object), timeoutMs_).Extents();
  for (int round = 0; round < kPlaceRounds && Unknown(extents); ++round) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kPlaceWaitMs));
    extents = client_.Call(bus::Extents(items_.front().object), timeoutMs_).Extents();
  }
  ReadTexts(extents, ReadDocumentLanguage());
  ReadLeafTexts();
  ReadEmbedded();
  return Build(0);
}

void TreeReader::ReadLevels() {
  size_t levelBegin = 0;
  while (levelBegin < items_.size()) {
    size_t levelEnd = items_.size();
    std::vector<Request> requests;
    requests.reserve(levelEnd - levelBegin);
    for (size_t i = levelBegin; i < levelEnd; ++i)
      requests.push_back(bus::Method(items_[i].object, bus::kAccessible, "GetRole"));
    std::vector<Reply> replies = client_.CallAll(requests, timeoutMs_);
    // Text leaves, the bulk of a page, have no children, and their parents mostly hold their
    // text: their state waits until it is needed.
    std::vector<size_t> containers;
    requests.clear();
    for (size_t i = levelBegin; i < levelEnd; ++i) {
      Item& item = items_[i];
      item.atspiRole = replies[i - levelBegin].Uint32(ATSPI_ROLE_INVALID);
      item.role = RoleOf(item.atspiRole);
      item.isProtected = item.role == AxRole::Password;
      if (item.role == AxRole::Text) continue;
      containers.push_back(i);
      requests.push_back(bus::Method(item.object, bus::kAccessible, "GetState"));
      requests.push_back(bus::Method(item.object, bus::kAccessible, "GetChildren"));
    }
    replies = client_.CallAll(requests, timeoutMs_);
    for (size_t c = 0; c < containers.size(); ++c) {
      Item& item = items_[containers[c]];
      uint64_t states = replies[2 * c].States();
      item.hidden = !Has(states, ATSPI_STATE_VISIBLE);
      item.showing = Has(states, ATSPI_STATE_SHOWING);
      if (item.hidden || item.isProtected || item.depth >= kMaxDepth) continue;
      int32_t depth = item.depth + 1;
      auto parent = static_cast<int32_t>(containers[c]);
      for (BusObject& child : replies[2 * c + 1].Objects()) {
        if (child.IsNull() || items_.size() >= static_cast<size_t>(kMaxNodes)) break;
        items_[containers[c]].children.push_back(static_cast<int32_t>(items_.size()));
        Item next;
        next.object = std::move(child);
        next.parent = parent;
        next.depth = depth;
        items_.push_back(std::move(next));
      }
    }
    levelBegin = levelEnd;
  }
}

// One program gives each object its page's language as its locale; another only its own process
// locale there, and the language among the text's attributes.
TreeReader::LanguageSource TreeReader::ReadDocumentLanguage() {
  Item& document = items_.front();
  for (LanguageSource source : {LanguageSource::Locale, LanguageSource::TextAttributes}) {
    document.language =
        LanguageOf(client_.Call(LanguageRequest(document.object, source), timeoutMs_), source);
    if (IsLanguageTag(document.language)) return source;
  }
  return LanguageSource::None;
}

Request TreeReader::LanguageRequest(const BusObject& object, LanguageSource source) {
  return source == LanguageSource::Locale ? bus::Property(object, bus::kAccessible, "Locale")
                                          : bus::Method(object, bus::kText, "GetDefaultAttributes");
}

std::string TreeReader::LanguageOf(const Reply& reply, LanguageSource source) {
  if (source == LanguageSource::Locale) return reply.VariantString();
  auto attributes = reply.Attributes();
  auto language = attributes.find("language");
  return language == attributes.end() ? std::string() : language->second;
}

void TreeReader::ReadTexts(const AxExtents& document, LanguageSource languages) {
  // Text of every shown object, heading levels, and extents of the containers out of view (one
  // moved far to the side is hidden; its leaves go with it).
  std::vector<Request> requests;
  std::vector<std::pair<int32_t, int>> asked;  // item, what: 0 text, 1 attributes, 2 extents, 3 locale
  for (size_t i = 0; i < items_.size(); ++i) {
    const Item& item = items_[i];
    if (item.hidden || item.isProtected || item.role == AxRole::Text) continue;
    auto index = static_cast<int32_t>(i);
    requests.push_back(bus::Method(item.object, bus::kText, "GetText", Ints({0, -1})));
    asked.emplace_back(index, 0);
    // A piece is spoken in one language: links inside take their block's.
    if (languages != LanguageSource::None && i != 0 && item.role != AxRole::Link) {
      requests.push_back(LanguageRequest(item.object, languages));
      asked.emplace_back(index, 3);
    }
    if (item.role == AxRole::Heading) {
      requests.push_back(bus::Method(item.object, bus::kAccessible, "GetAttributes"));
      asked.emplace_back(index, 1);
    }
    if (!item.showing && item.role != AxRole::Text && item.role != AxRole::Link && i != 0) {
      requests.push_back(bus::Extents(item.object));
      asked.emplace_back(index, 2);
    }
  }
  std::vector<Reply> replies = client_.CallAll(requests, timeoutMs_);
  std::vector<int32_t> unplaced;
  for (size_t r = 0; r < replies.size(); ++r) {
    Item& item = items_[static_cast<size_t>(asked[r].first)];
    const Reply& reply = replies[r];
    if (asked[r].second == 0) {
      item.hasText = reply.Ok();
      item.text = reply.String();
    } else if (asked[r].second == 1) {
      auto attributes = reply.Attributes();
      auto level = attributes.find("level");
      if (level != attributes.end()) item.level = std::atoi(level->second.c_str());
    } else if (asked[r].second == 3) {
      item.language = LanguageOf(reply, languages);
    } else if (Unknown(reply.Extents())) {
      unplaced.push_back(asked[r].first);
    } else if (reply.Ok() && EntirelyOutside(reply.Extents(), document)) {
      item.hidden = true;
    }
  }
  PlaceLater(unplaced, document);
}

// Text leaves whose parent has no text of its own are read themselves, state and text.
void TreeReader::ReadLeafTexts() {
  std::vector<Request> requests;
  std::vector<size_t> leaves;
  for (size_t i = 0; i < items_.size(); ++i) {
    const Item& item = items_[i];
    if (item.role != AxRole::Text || item.parent < 0) continue;
    const Item& parent = items_[static_cast<size_t>(item.parent)];
    if (parent.hasText || parent.hidden || parent.isProtected) continue;
    leaves.push_back(i);
    requests.push_back(bus::Method(item.object, bus::kAccessible, "GetState"));
    requests.push_back(bus::Method(item.object, bus::kText, "GetText", Ints({0, -1})));
  }
  std::vector<Reply> replies = client_.CallAll(requests, timeoutMs_);
  for (size_t l = 0; l < leaves.size(); ++l) {
    Item& item = items_[leaves[l]];
    item.hidden = !Has(replies[2 * l].States(), ATSPI_STATE_VISIBLE);
    item.hasText = replies[2 * l + 1].Ok();
    item.text = replies[2 * l + 1].String();
  }
}

void TreeReader::PlaceLater(std::vector<int32_t> unplaced, const AxExtents& document) {
  // One program answers "unknown" for an object's first extents and fetches them meanwhile.
  for (int round = 0; round < kPlaceRounds && !unplaced.empty(); ++round) {
    std::this_thread::sleep_for(std::chrono::milliseconds(kPlaceWaitMs));
    std::vector<Request> requests;
    for (int32_t index : unplaced)
      requests.push_back(bus::Extents(items_[static_cast<size_t>(index)].object));
    std::vector<Reply> replies = client_.CallAll(requests, timeoutMs_);
    std::vector<int32_t> still;
    for (size_t r = 0; r < replies.size(); ++r) {
      AxExtents extents = replies[r].Extents();
      if (Unknown(extents)) {
        still.push_back(unplaced[r]);
      } else if (EntirelyOutside(extents, document)) {
        items_[static_cast<size_t>(unplaced[r])].hidden = true;
      }
    }
    unplaced = std::move(still);
  }
}

void TreeReader::ReadEmbedded() {
  // For each U+FFFC: its link index, the link, and the link's object (three rounds).
  struct Slot {
    int32_t item;
    size_t embedded;
    BusObject link;
  };
  std::vector<Slot> slots;
  std::vector<Request> requests;
  for (size_t i = 0; i < items_.size(); ++i) {
    Item& item = items_[i];
    if (item.hidden || !item.hasText) continue;
    std::vector<int32_t> offsets = EmbeddedOffsets(item.text);
    item.embedded.assign(offsets.size(), -1);
    if (EmbeddedByOrder(item, offsets.size())) continue;
    for (size_t e = 0; e < offsets.size(); ++e) {
      slots.push_back(Slot{static_cast<int32_t>(i), e, {}});
      requests.push_back(bus::Method(item.object, bus::kHypertext, "GetLinkIndex", Ints({offsets[e]})));
    }
  }
  std::vector<Reply> indices = client_.CallAll(requests, timeoutMs_);
  requests.clear();
  std::vector<Slot> linked;
  for (size_t s = 0; s < slots.size(); ++s) {
    // Links are in text order, one per U+FFFC: when the program cannot place an offset (one
    // counts UTF-16 units after characters beyond the BMP), the k-th U+FFFC is link k.
    int32_t linkIndex = indices[s].Int32(-1);
    if (linkIndex < 0) linkIndex = static_cast<int32_t>(slots[s].embedded);
    linked.push_back(slots[s]);
    requests.push_back(bus::Method(items_[static_cast<size_t>(slots[s].item)].object, bus::kHypertext,
                                   "GetLink", Ints({linkIndex})));
  }
  std::vector<Reply> links = client_.CallAll(requests, timeoutMs_);
  requests.clear();
  for (size_t s = 0; s < linked.size(); ++s) {
    linked[s].link = links[s].Object();
    requests.push_back(linked[s].link.IsNull()
                           ? bus::Method(items_[0].object, bus::kAccessible, "GetRole")
                           : bus::Method(linked[s].link, bus::kHyperlink, "GetObject", Ints({0})));
  }
  std::vector<Reply> objects = client_.CallAll(requests, timeoutMs_);
  for (size_t s = 0; s < linked.size(); ++s) {
    if (linked[s].link.IsNull()) continue;
    BusObject object = objects[s].Object();
    Item& item = items_[static_cast<size_t>(linked[s].item)];
    for (size_t c = 0; c < item.children.size(); ++c) {
      if (items_[static_cast<size_t>(item.children[c])].object == object) {
        item.embedded[linked[s].embedded] = static_cast<int32_t>(c);
        break;
      }
    }
  }
}

bool TreeReader::EmbeddedByOrder(Item& item, size_t count) const {
  std::vector<int32_t> candidates;
  for (size_t c = 0; c < item.children.size(); ++c)
    if (items_[static_cast<size_t>(item.children[c])].role != AxRole::Text)
      candidates.push_back(static_cast<int32_t>(c));
  if (candidates.size() != count) return false;
  item.embedded = std::move(candidates);
  return true;
}

AxNode TreeReader::Build(int32_t index) const {
  const Item& item = items_[static_cast<size_t>(index)];
  AxNode node;
  node.ref = table_.Intern(item.object);
  node.role = item.role;
  node.level = item.level;
  node.hidden = item.hidden;
  node.isProtected = item.isProtected;
  if (item.hidden || item.isProtected) return node;
  if (IsLanguageTag(item.language)) node.language = platform::FromUtf8(item.language);
  node.hasText = item.hasText;
  node.text = platform::FromUtf8(item.text);
  node.embedded = item.embedded;
  node.children.reserve(item.children.size());
  for (int32_t child : item.children) node.children.push_back(Build(child));
  return node;
}

}  // namespace lectryn::accessibility::atspi
