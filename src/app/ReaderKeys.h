#pragma once
// The terminal reader's keys: bytes typed on the terminal become the listener's commands.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "narration/Narration.h"

namespace lectryn::app {

enum class ReaderKey {
  PauseOrResume,      // space
  PreviousSentence,   // left
  NextSentence,       // right
  PreviousParagraph,  // up
  NextParagraph,      // down
  Faster,             // + (or =, the same key unshifted)
  Slower,             // - (or _)
  Quit,               // q
};

// What the keys are, in one line for people.
extern const char kReaderKeysHelp[];

// Turns the bytes a terminal sends into keys. Arrows come as escape sequences (ESC [ C, or ESC O C in
// application mode, with any modifiers), which may arrive split across reads; other sequences and
// other bytes are ignored.
class KeyDecoder {
 public:
  std::vector<ReaderKey> Feed(std::string_view bytes);

 private:
  std::string pending_;  // the start of an escape sequence
};

// Carries out a key other than Quit on the narration.
void ApplyKey(ReaderKey key, narration::Narration& narration);

}  // namespace lectryn::app
