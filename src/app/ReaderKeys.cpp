#include "app/ReaderKeys.h"

namespace lectryn::app {
namespace {

constexpr char kEscape = '\x1b';

// One table for what a key is typed as and what it does.
struct KeyEntry {
  ReaderKey key;
  std::string_view typed;  // plain bytes that are this key
  char arrow;              // the final byte of its arrow sequence, or 0
  void (narration::Narration::*command)();
};

constexpr KeyEntry kKeys[] = {
    {ReaderKey::PauseOrResume, " ", 0, &narration::Narration::PauseOrResume},
    {ReaderKey::PreviousSentence, "", 'D', &narration::Narration::PreviousSentence},
    {ReaderKey::NextSentence, "", 'C', &narration::Narration::NextSentence},
    {ReaderKey::PreviousParagraph, "", 'A', &narration::Narration::PreviousParagraph},
    {ReaderKey::NextParagraph, "", 'B', &narration::Narration::NextParagraph},
    {ReaderKey::Faster, "+=", 0, &narration::Narration::Faster},
    {ReaderKey::Slower, "-_", 0, &narration::Narration::Slower},
    {ReaderKey::Quit, "qQ", 0, nullptr},
};

std::optional<ReaderKey> Arrow(char final) {
  for (const KeyEntry& entry : kKeys)
    if (entry.arrow != 0 && entry.arrow == final) return entry.key;
  return std::nullopt;
}

std::optional<ReaderKey> Plain(char byte) {
  for (const KeyEntry& entry : kKeys)
    if (entry.typed.find(byte) != std::string_view::npos) return entry.key;
  return std::nullopt;
}

}  // namespace

const char kReaderKeysHelp[] =
    "keys: space pause/resume, \u2190 \u2192 sentence, \u2191 \u2193 paragraph, + - speed, q quit";

std::vector<ReaderKey> KeyDecoder::Feed(std::string_view bytes) {
  std::vector<ReaderKey> keys;
  for (char byte : bytes) {
    if (pending_.empty()) {
      if (byte == kEscape) {
        pending_.push_back(byte);
      } else if (auto key = Plain(byte)) {
        keys.push_back(*key);
      }
      continue;
    }
    if (pending_.size() == 1) {
      // ESC [ starts a control sequence and ESC O a single shifted key; a lone Escape key press is
      // followed by anything else, which then counts on its own.
      if (byte == '[' || byte == 'O') {
        pending_.push_back(byte);
      } else {
        pending_.clear();
        if (byte == kEscape) {
          pending_.push_back(byte);
        } else if (auto key = Plain(byte)) {
          keys.push_back(*key);
        }
      }
      continue;
    }
    // Parameters and intermediates (0x20..0x3F) until the final byte (0x40..0x7E).
    if (pending_[1] == '[' && byte >= 0x20 && byte <= 0x3F) {
      pending_.push_back(byte);
      continue;
    }
    pending_.clear();
    if (auto key = Arrow(byte)) keys.push_back(*key);
  }
  return keys;
}

void ApplyKey(ReaderKey key, narration::Narration& narration) {
  for (const KeyEntry& entry : kKeys)
    if (entry.key == key && entry.command) (narration.*entry.command)();
}

}  // namespace lectryn::app
