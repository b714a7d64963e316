#pragma once
// Reads a web document's accessible objects into an AxNode tree. The bus answers one small call
// at a time, so the read goes level by level with every call of a level in flight at once, and
// asks nothing of the text leaves whose text their parent already holds.
#include <cstdint>
#include <string>
#include <vector>

#include "accessibility/AxTree.h"
#include "accessibility/atspi/BusClient.h"
#include "accessibility/atspi/ObjectTable.h"

namespace lectryn::accessibility::atspi {

// The AxRole of an AT-SPI role number.
AxRole RoleOf(uint32_t atspiRole);

// Whether a program's locale is a language tag (BCP 47: "fr", "zh-Hans"), not a process locale
// such as "C.UTF-8" or "en_US.UTF-8", which says nothing of the page.
bool IsLanguageTag(const std::string& locale);

// Marks U+FFFC in UTF-8 text: the character (code point) offsets where they sit.
std::vector<int32_t> EmbeddedOffsets(const std::string& utf8);

class TreeReader {
 public:
  // A hostile page may nest or repeat without end: deeper or further objects are left out.
  static constexpr int32_t kMaxDepth = 96;
  static constexpr int32_t kMaxNodes = 60000;
  // Extents a program does not know yet are asked again this often, this long apart.
  static constexpr int kPlaceRounds = 5;
  static constexpr int kPlaceWaitMs = 40;

  TreeReader(BusClient& client, ObjectTable& table, int32_t callTimeoutMs)
      : client_(client), table_(table), timeoutMs_(callTimeoutMs) {}
  AxNode Read(AxRef document);

 private:
  struct Item {
    BusObject object;
    int32_t parent = -1;
    int32_t depth = 0;
    uint32_t atspiRole = 0;
    AxRole role = AxRole::Other;
    bool hidden = false;
    bool showing = false;
    bool isProtected = false;
    bool hasText = false;
    int32_t level = 0;
    std::string text;  // UTF-8
    std::string language;
    std::vector<int32_t> children;
    std::vector<int32_t> embedded;
  };
  void ReadLevels();
  // Where a program gives its objects' languages: the Locale property, the text's attributes, or
  // nowhere.
  enum class LanguageSource { None, Locale, TextAttributes };
  LanguageSource ReadDocumentLanguage();
  static Request LanguageRequest(const BusObject& object, LanguageSource source);
  static std::string LanguageOf(const Reply& reply, LanguageSource source);
  void ReadTexts(const AxExtents& document, LanguageSource languages);
  void ReadLeafTexts();
  // The k-th U+FFFC stands for the k-th child that is not a text leaf, when the counts agree.
  bool EmbeddedByOrder(Item& item, size_t count) const;
  void PlaceLater(std::vector<int32_t> unplaced, const AxExtents& document);
  void ReadEmbedded();
  AxNode Build(int32_t index) const;

  BusClient& client_;
  ObjectTable& table_;
  int32_t timeoutMs_;
  std::vector<Item> items_;
};

}  // namespace lectryn::accessibility::atspi
