#include "sim/ScriptedRecorder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/Failure.h"
#include "platform/Text.h"
#include "sim/ScriptedVoice.h"

namespace lectryn::sim {

struct ScriptedRecorder::Recording {
  std::string path;
  std::string partial;
  std::FILE* file = nullptr;
  int64_t recordedMs = 0;
  bool committed = false;
};

namespace {

// Hears a voice's events first: each end of a text adds that text's audio to the recording.
class RecordingTap : public platform::VoiceEvents {
 public:
  RecordingTap(platform::VoiceEvents& sink, std::shared_ptr<ScriptedRecorder::Recording> recording)
      : sink_(sink), recording_(std::move(recording)) {}
  void pVoice_Word(int32_t stream, int64_t position, int32_t character, int32_t length) override {
    sink_.pVoice_Word(stream, position, character, length);
  }
  void pVoice_EndStream(int32_t stream, int64_t position) override {
    if (recording_->file && !recording_->committed) {
      std::string line = std::to_string(position) + " " + platform::ToUtf8(log->spoken.back()) + "\n";
      std::fwrite(line.data(), 1, line.size(), recording_->file);
      recording_->recordedMs += position;
    }
    sink_.pVoice_EndStream(stream, position);
  }
  std::shared_ptr<ScriptedLog> log = std::make_shared<ScriptedLog>();

 private:
  platform::VoiceEvents& sink_;
  std::shared_ptr<ScriptedRecorder::Recording> recording_;
};

// The tap is a member that the voice's base is built on, so it lives exactly as long as the voice.
struct TapHolder {
  RecordingTap tap;
};

class RecordingVoice : private TapHolder, public ScriptedVoice {
 public:
  RecordingVoice(platform::UiLoop& loop, platform::VoiceEvents& sink, int32_t msPerWord,
                 std::shared_ptr<ScriptedRecorder::Recording> recording)
      : TapHolder{RecordingTap(sink, std::move(recording))},
        ScriptedVoice(loop, tap, msPerWord, tap.log) {}
};

}  // namespace

ScriptedRecorder::ScriptedRecorder(platform::UiLoop& loop, std::string path, int32_t msPerWord)
    : loop_(loop), msPerWord_(msPerWord), recording_(std::make_shared<Recording>()) {
  recording_->path = std::move(path);
  recording_->partial = recording_->path + ".recording";
  recording_->file = std::fopen(recording_->partial.c_str(), "wb");
  if (!recording_->file)
    throw platform::Failure("cannot record speech into " + recording_->path + ": " + std::strerror(errno));
}

ScriptedRecorder::~ScriptedRecorder() {
  if (recording_->file) std::fclose(recording_->file);
  recording_->file = nullptr;
  if (!recording_->committed) std::remove(recording_->partial.c_str());
}

std::shared_ptr<platform::SpVoice> ScriptedRecorder::CreateVoice(platform::VoiceEvents& sink) {
  return std::make_shared<RecordingVoice>(loop_, sink, msPerWord_, recording_);
}

int64_t ScriptedRecorder::RecordedMs() const {
  return recording_->recordedMs;
}

const std::string& ScriptedRecorder::PartialPath() const {
  return recording_->partial;
}

void ScriptedRecorder::Commit() {
  if (recording_->committed) return;
  if (std::fclose(recording_->file) != 0) {
    recording_->file = nullptr;
    throw platform::Failure("cannot record speech into " + recording_->path + ": " + std::strerror(errno));
  }
  recording_->file = nullptr;
  std::error_code failed;
  std::filesystem::rename(recording_->partial, recording_->path, failed);
  if (failed)
    throw platform::Failure("cannot record speech into " + recording_->path + ": " + failed.message());
  recording_->committed = true;
}

std::unique_ptr<platform::AudioRecorder> ScriptedVoiceFactory::CreateRecorder(const std::string& path) {
  return std::make_unique<ScriptedRecorder>(loop_, path, msPerWord_);
}

}  // namespace lectryn::sim
