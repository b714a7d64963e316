#include "app/ReaderKeys.h"

namespace lectryn::app {
namespace {

constexpr char kEscape = '\x1b';

std::optional<ReaderKey> Arrow(char final) {
  switch (final) {
    case 'A':
      return ReaderKey::PreviousParagraph;
    case 'B':
      return ReaderKey::NextParagraph;
    case 'C':
      return ReaderKey::NextSentence;
    case 'D':
      return ReaderKey::PreviousSentence;
    default:
      return std::nullopt;
  }
}

std::optional<ReaderKey> Plain(char byte) {
  switch (byte) {
    case ' ':
      return ReaderKey::PauseOrResume;
    case '+':
    case '=':
      return ReaderKey::Faster;
    case '-':
    case '_':
      return ReaderKey::Slower;
    case 'q':
    case 'Q':
      return ReaderKey::Quit;
    default:
      return std::nullopt;
  }
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
  switch (key) {
    case ReaderKey::PauseOrResume:
      narration.PauseOrResume();
      break;
    case ReaderKey::PreviousSentence:
      narration.PreviousSentence();
      break;
    case ReaderKey::NextSentence:
      narration.NextSentence();
      break;
    case ReaderKey::PreviousParagraph:
      narration.PreviousParagraph();
      break;
    case ReaderKey::NextParagraph:
      narration.NextParagraph();
      break;
    case ReaderKey::Faster:
      narration.Faster();
      break;
    case ReaderKey::Slower:
      narration.Slower();
      break;
    case ReaderKey::Quit:
      break;  // the caller's: it ends the program
  }
}

}  // namespace lectryn::app
