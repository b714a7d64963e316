#include "speech/OggOpusOutput.h"

#include <opus/opusenc.h>

#include <cerrno>
#include <cstring>

#include "platform/Failure.h"

namespace lectryn::speech {

OggOpusOutput::OggOpusOutput(std::string path) : path_(std::move(path)) {
  file_ = std::fopen(path_.c_str(), "wb");
  if (!file_) {
    throw platform::Failure("cannot create the audio file " + path_ + ": " + std::strerror(errno) +
                            "; choose a file in a folder you can write to");
  }
  OpusEncCallbacks callbacks{&OggOpusOutput::WritePage, [](void*) { return 0; }};  // Close closes
  OggOpusComments* comments = ope_comments_create();
  int error = OPE_OK;
  if (comments) {
    encoder_ = ope_encoder_create_callbacks(&callbacks, this, comments, kSampleRate, 1, 0, &error);
    ope_comments_destroy(comments);
  }
  if (!encoder_) {
    std::fclose(file_);
    throw platform::Failure("cannot make the audio file " + path_ + ": the Opus encoder does not start (" +
                            (comments ? ope_strerror(error) : "out of memory") + ")");
  }
  ope_encoder_ctl(encoder_, OPUS_SET_SIGNAL(OPUS_SIGNAL_VOICE));
}

// Whoever records into the file closes it and says what failed; here the file is only let go.
OggOpusOutput::~OggOpusOutput() {
  Close();
}

int OggOpusOutput::WritePage(void* self, const unsigned char* data, int32_t length) {
  auto* output = static_cast<OggOpusOutput*>(self);
  auto size = static_cast<size_t>(length);
  return std::fwrite(data, 1, size, output->file_) == size ? 0 : 1;
}

void OggOpusOutput::Fail(const std::string& what) {
  if (error_.empty()) error_ = "cannot " + what + " the audio file " + path_ + ": " + std::strerror(errno);
}

void OggOpusOutput::WriteToFile(std::span<const int16_t> samples) {
  std::lock_guard lock(mutex_);
  if (!encoder_ || !error_.empty()) return;
  // A failed page write is the file's; anything else would be the encoder's own.
  errno = 0;
  int status = ope_encoder_write(encoder_, samples.data(), static_cast<int>(samples.size()));
  if (status != OPE_OK) {
    if (errno == 0) errno = EIO;
    Fail("write");
    return;
  }
  written_ += static_cast<int64_t>(samples.size());
}

std::string OggOpusOutput::Close() {
  std::lock_guard lock(mutex_);
  if (!file_) return error_;
  errno = 0;
  // Draining encodes what the encoder holds and ends the stream with the audio's exact length.
  if (error_.empty() && ope_encoder_drain(encoder_) != OPE_OK) {
    if (errno == 0) errno = EIO;
    Fail("write");
  }
  ope_encoder_destroy(encoder_);
  encoder_ = nullptr;
  if (std::fclose(file_) != 0) Fail("close");
  file_ = nullptr;
  return error_;
}

}  // namespace lectryn::speech
