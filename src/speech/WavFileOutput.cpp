#include "speech/WavFileOutput.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/Failure.h"

namespace lectryn::speech {
namespace {

constexpr int64_t kMaxDataBytes = 0xFFFFFFFFLL - 36;  // the RIFF size fields are 32-bit

void Put16(std::vector<unsigned char>& out, uint32_t value) {
  out.push_back(static_cast<unsigned char>(value));
  out.push_back(static_cast<unsigned char>(value >> 8));
}

void Put32(std::vector<unsigned char>& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

void PutTag(std::vector<unsigned char>& out, const char* tag) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(tag[i]));
}

}  // namespace

WavFileOutput::WavFileOutput(std::string path) : path_(std::move(path)) {
  file_ = std::fopen(path_.c_str(), "wb");
  if (!file_) {
    throw platform::Failure("cannot create the audio file " + path_ + ": " + std::strerror(errno) +
                            "; choose a file in a folder you can write to");
  }
  WriteHeader();
}

WavFileOutput::~WavFileOutput() {
  Close();
}

std::string WavFileOutput::Close() {
  std::lock_guard lock(mutex_);
  if (!file_) return error_;
  WriteHeader();
  if (std::fclose(file_) != 0) ReportError("close");
  file_ = nullptr;
  return error_;
}

void WavFileOutput::WriteToFile(std::span<const int16_t> samples) {
  std::lock_guard lock(mutex_);
  if (!file_ || !error_.empty()) return;
  size_t wrote = 0;
  if constexpr (std::endian::native == std::endian::little) {
    wrote = std::fwrite(samples.data(), 2, samples.size(), file_);
  } else {
    std::vector<unsigned char> bytes;
    bytes.reserve(samples.size() * 2);
    for (int16_t sample : samples) Put16(bytes, static_cast<uint16_t>(sample));
    wrote = std::fwrite(bytes.data(), 2, samples.size(), file_);
  }
  if (wrote != samples.size()) {
    ReportError("write");
    return;
  }
  written_ += static_cast<int64_t>(samples.size());
}

void WavFileOutput::Idle() {
  std::lock_guard lock(mutex_);
  if (file_ && headerWritten_ != written_) WriteHeader();
}

void WavFileOutput::WriteHeader() {
  if (!error_.empty()) return;
  auto dataBytes = static_cast<uint32_t>(std::min(written_ * 2, kMaxDataBytes));
  std::vector<unsigned char> header;
  header.reserve(44);
  PutTag(header, "RIFF");
  Put32(header, 36 + dataBytes);
  PutTag(header, "WAVE");
  PutTag(header, "fmt ");
  Put32(header, 16);  // size of the format chunk
  Put16(header, 1);   // PCM
  Put16(header, 1);   // mono
  Put32(header, kSampleRate);
  Put32(header, kSampleRate * 2);  // bytes per second
  Put16(header, 2);                // bytes per frame
  Put16(header, 16);               // bits per sample
  PutTag(header, "data");
  Put32(header, dataBytes);
  long end = std::ftell(file_);
  if (std::fseek(file_, 0, SEEK_SET) != 0 ||
      std::fwrite(header.data(), 1, header.size(), file_) != header.size() ||
      (end > 0 && std::fseek(file_, end, SEEK_SET) != 0) || std::fflush(file_) != 0) {
    ReportError("write");
    return;
  }
  headerWritten_ = written_;
}

void WavFileOutput::ReportError(const char* action) {
  if (!error_.empty()) return;
  error_ = std::string("cannot ") + action + " the audio file " + path_ + ": " + std::strerror(errno);
  // The player thread has nobody to throw to; say once what went wrong instead of losing audio quietly.
  std::fprintf(stderr, "lectryn: %s; the file is incomplete\n", error_.c_str());
}

}  // namespace lectryn::speech
