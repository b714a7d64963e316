#pragma once
// A recorder for tests and headless runs: its voices are scripted voices, and the "audio" file
// lists each text with the milliseconds of audio it was given, so a test can see what went in.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/UiLoop.h"
#include "platform/Voice.h"

namespace lectryn::sim {

class ScriptedRecorder : public platform::AudioRecorder {
 public:
  // The file is written under a temporary name beside path; throws Failure when that cannot be made.
  ScriptedRecorder(platform::UiLoop& loop, std::string path, int32_t msPerWord);
  // Without Commit the temporary file goes: nothing is left behind.
  ~ScriptedRecorder() override;
  ScriptedRecorder(const ScriptedRecorder&) = delete;
  ScriptedRecorder& operator=(const ScriptedRecorder&) = delete;

  std::shared_ptr<platform::SpVoice> CreateVoice(platform::VoiceEvents& sink) override;
  int64_t RecordedMs() const override;
  // Moves the file to its path; throws Failure when it cannot (the folder went away, for example).
  void Commit() override;

  // The name the file has until Commit.
  const std::string& PartialPath() const;

  struct Recording;

 private:
  platform::UiLoop& loop_;
  int32_t msPerWord_;
  std::shared_ptr<Recording> recording_;  // shared with its voices, which may outlive it
};

}  // namespace lectryn::sim
