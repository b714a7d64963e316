#include "speech/AudioFileRecorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>

#include "platform/Failure.h"
#include "speech/EspeakVoice.h"
#include "speech/OggOpusOutput.h"
#include "speech/WavFileOutput.h"

namespace lectryn::speech {
namespace {

bool EndsWithIgnoringCase(const std::string& text, std::string_view end) {
  if (text.size() < end.size()) return false;
  for (size_t i = 0; i < end.size(); ++i) {
    char c = text[text.size() - end.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != end[i]) return false;
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  std::string folder = std::filesystem::path(path).parent_path().string();
  return folder.empty() ? "." : folder;
}

// Makes an empty hidden file beside path, new (never one that was there) and with the permissions a
// new file gets here; returns its name, or throws for people.
std::string MakePartFile(const std::string& path) {
  auto cannot = [&](const std::string& why) {
    return platform::Failure("cannot record speech into " + path + ": " + why);
  };
  std::error_code error;
  if (std::filesystem::is_directory(path, error))
    throw cannot("it is a folder; give a file name ending in .wav, .ogg or .opus");
  std::filesystem::path target(path);
  std::string folder = FolderOf(path);
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char tail[32];
    std::snprintf(tail, sizeof tail, ".part-%08x", random());
    std::string part = (std::filesystem::path(folder) / ("." + target.filename().string() + tail)).string();
    int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      ::close(fd);
      return part;
    }
    if (errno == EEXIST) continue;
    if (errno == ENOENT && !std::filesystem::is_directory(folder, error))
      throw cannot("the folder " + folder + " does not exist; create it or choose another");
    if (errno == EACCES || errno == EPERM || errno == EROFS) {
      throw cannot("the folder " + folder + " is not writable (" + std::strerror(errno) +
                   "); choose a folder you can write to");
    }
    throw cannot(std::strerror(errno));
  }
  throw cannot("no free name for a temporary file in " + folder);
}

}  // namespace

bool RecordsOggOpus(const std::string& path) {
  return EndsWithIgnoringCase(path, ".ogg") || EndsWithIgnoringCase(path, ".opus");
}

AudioFileRecorder::AudioFileRecorder(platform::VoiceFactory& voices, platform::UiLoop& loop,
                                     EspeakEngine& engine, std::string path)
    : voices_(voices), engine_(engine), path_(std::move(path)) {
  if (path_.empty()) throw platform::Failure("cannot record speech: no file name given");
  partPath_ = MakePartFile(path_);
  try {
    std::unique_ptr<AudioFileOutput> output;
    if (RecordsOggOpus(path_)) {
      output = std::make_unique<OggOpusOutput>(partPath_);
    } else {
      output = std::make_unique<WavFileOutput>(partPath_);
    }
    output_ = output.get();
    player_ = std::make_shared<AudioPlayer>(std::move(output), loop);
  } catch (const platform::Failure&) {
    ::unlink(partPath_.c_str());
    throw;
  }
}

AudioFileRecorder::~AudioFileRecorder() {
  if (done_) return;
  output_->Close();  // voices that outlive the recorder write nothing more
  RemovePart();
}

std::shared_ptr<platform::SpVoice> AudioFileRecorder::CreateVoice(platform::VoiceEvents& sink) {
  return std::make_shared<EspeakVoice>(sink, engine_, player_);
}

int64_t AudioFileRecorder::RecordedMs() const {
  return output_->WrittenSamples() * 1000 / kSampleRate;
}

void AudioFileRecorder::Commit() {
  if (done_) throw platform::Failure("cannot record speech into " + path_ + ": the recording has ended");
  player_->WaitUntilIdle();
  std::string error = output_->Close();
  done_ = true;
  if (error.empty() && std::rename(partPath_.c_str(), path_.c_str()) != 0) error = std::strerror(errno);
  if (!error.empty()) {
    RemovePart();
    throw platform::Failure("cannot record speech into " + path_ + ": " + error);
  }
}

void AudioFileRecorder::RemovePart() {
  if (::unlink(partPath_.c_str()) != 0 && errno != ENOENT) {
    std::fprintf(stderr, "lectryn: cannot remove the unfinished recording %s: %s\n", partPath_.c_str(),
                 std::strerror(errno));
  }
}

}  // namespace lectryn::speech
