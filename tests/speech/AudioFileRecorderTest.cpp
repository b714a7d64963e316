// Speech recorded into files: the file appears whole at Commit or not at all, and holds exactly the
// audio the voices made.
#include "speech/AudioFileRecorder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/load/TempFolder.h"
#include "platform/Failure.h"
#include "speech/EspeakVoiceFactory.h"
#include "system/PlainUiLoop.h"

namespace lectryn::speech {
namespace {

using engine::testing::TempFolder;
using Bytes = std::vector<unsigned char>;

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint64_t Le(const Bytes& b, size_t at, int bytes) {
  uint64_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | b.at(at + i);
  return value;
}

std::vector<std::string> FilesIn(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  return names;
}

// Milliseconds of audio in a 22050 Hz mono 16-bit WAV file whose header must match its size.
int64_t WavMs(const Bytes& file) {
  EXPECT_GE(file.size(), 44u);
  if (file.size() < 44) return -1;
  EXPECT_EQ(file.size() - 44, Le(file, 40, 4)) << "the header does not hold the file's length";
  return static_cast<int64_t>(Le(file, 40, 4) / 2 * 1000 / 22050);
}

// The Ogg checksum: CRC-32 with polynomial 0x04C11DB7, no reflection, over the page with its checksum
// field as zero.
uint32_t OggCrc(const Bytes& page) {
  uint32_t crc = 0;
  for (unsigned char byte : page) {
    crc ^= static_cast<uint32_t>(byte) << 24;
    for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

// Walks the pages of an Ogg Opus file, checking what a player relies on, and returns the audio's
// length in milliseconds (the last page's granule position less the pre-skip, at 48 kHz).
int64_t OggOpusMs(const Bytes& file) {
  size_t at = 0;
  uint32_t sequence = 0;
  uint64_t granule = 0;
  uint64_t preSkip = 0;
  bool ended = false;
  while (at < file.size()) {
    EXPECT_FALSE(ended) << "data after the end of the stream";
    if (file.size() - at < 27 || std::string(file.begin() + at, file.begin() + at + 4) != "OggS") {
      ADD_FAILURE() << "no Ogg page at byte " << at;
      return -1;
    }
    size_t segments = file[at + 26];
    size_t length = 27 + segments;
    for (size_t s = 0; s < segments && at + 27 + s < file.size(); ++s) length += file[at + 27 + s];
    if (at + length > file.size()) {
      ADD_FAILURE() << "the page at byte " << at << " is cut short";
      return -1;
    }
    Bytes page(file.begin() + at, file.begin() + at + length);
    uint32_t stored = static_cast<uint32_t>(Le(page, 22, 4));
    for (int i = 22; i < 26; ++i) page[i] = 0;
    EXPECT_EQ(stored, OggCrc(page)) << "bad checksum on page " << sequence;
    size_t body = 27 + segments;
    if (sequence == 0) {
      EXPECT_EQ("OpusHead", std::string(page.begin() + body, page.begin() + body + 8));
      EXPECT_EQ(1, page[body + 9]) << "channels";
      EXPECT_EQ(22050u, Le(page, body + 12, 4)) << "the input rate";
      preSkip = Le(page, body + 10, 2);
    }
    granule = Le(page, 6, 8);
    ended = (page[5] & 4) != 0;
    ++sequence;
    at += length;
  }
  EXPECT_TRUE(ended) << "the stream has no end";
  EXPECT_GE(granule, preSkip);
  return static_cast<int64_t>((granule - preSkip) * 1000 / 48000);
}

class Ends : public platform::VoiceEvents {
 public:
  void pVoice_Word(int32_t, int64_t position, int32_t, int32_t) override { lastWordMs = position; }
  void pVoice_EndStream(int32_t, int64_t) override { ++ends; }
  int ends = 0;
  int64_t lastWordMs = -1;
};

class Recording : public ::testing::Test {
 protected:
  // Speaks each text in turn on one voice of the recorder, waiting for its end; false on a time-out.
  bool Say(platform::AudioRecorder& recorder, const std::vector<std::u16string>& texts, int32_t rate = 0) {
    auto voice = recorder.CreateVoice(sink_);
    voice->SetRate(rate);
    appliedRate_ = voice->Rate();
    for (const std::u16string& text : texts) {
      int before = sink_.ends;
      voice->Speak(text, platform::SVSFlagsAsync);
      auto guard = loop_.StartTimer(60000, [&] { loop_.Quit(); });
      bool ended = loop_.Run([&] { return sink_.ends > before; });
      loop_.StopTimer(guard);
      if (!ended) return false;
      spokenMs_.push_back(recorder.RecordedMs());
    }
    return true;
  }

  system::PlainUiLoop loop_;
  EspeakVoiceFactory voices_{loop_, AudioChoice::Silent(100)};
  TempFolder folder_;
  Ends sink_;
  std::vector<int64_t> spokenMs_;  // RecordedMs after each text
  int32_t appliedRate_ = 0;
};

const std::u16string kFirst = u"The first sentence is recorded into the file.";
const std::u16string kSecond = u"A second text follows it.";

TEST_F(Recording, WavAppearsAtCommitWithEveryTextOneAfterTheOther) {
  std::string path = folder_.Path("reading.wav");
  auto recorder = voices_.CreateRecorder(path);
  ASSERT_TRUE(Say(*recorder, {kFirst, kSecond}));
  EXPECT_FALSE(std::filesystem::exists(path)) << "the file appeared before Commit";
  EXPECT_EQ(1u, FilesIn(folder_.Path()).size());
  EXPECT_GT(spokenMs_[0], 1000);
  EXPECT_GT(spokenMs_[1], spokenMs_[0] + 500) << "the second text did not follow the first";
  EXPECT_LT(sink_.lastWordMs, spokenMs_[1] - spokenMs_[0]) << "the last word lies past its text's audio";

  recorder->Commit();
  EXPECT_EQ(std::vector<std::string>{"reading.wav"}, FilesIn(folder_.Path()));
  EXPECT_NEAR(spokenMs_[1], WavMs(ReadAll(path)), 1);
  EXPECT_THROW(recorder->Commit(), platform::Failure);
  recorder.reset();
  EXPECT_TRUE(std::filesystem::exists(path)) << "a committed file went with its recorder";
}

TEST_F(Recording, OggOpusIsAWellFormedStreamAsLongAsTheAudio) {
  for (const char* name : {"reading.ogg", "READING.OPUS"}) {
    std::string path = folder_.Path(name);
    auto recorder = voices_.CreateRecorder(path);
    spokenMs_.clear();
    ASSERT_TRUE(Say(*recorder, {kFirst, kSecond}));
    recorder->Commit();
    Bytes file = ReadAll(path);
    EXPECT_NEAR(spokenMs_.back(), OggOpusMs(file), 2) << name;
    // Far smaller than the same audio as WAV, or it is not compressed.
    EXPECT_LT(file.size(), static_cast<size_t>(spokenMs_.back() * 44)) << name;
  }
}

TEST_F(Recording, TwiceTheRateHalvesTheRecording) {
  std::vector<int64_t> lengths;
  for (int32_t rate : {160, 320}) {
    std::string path = folder_.Path("rate" + std::to_string(rate) + ".wav");
    auto recorder = voices_.CreateRecorder(path);
    spokenMs_.clear();
    ASSERT_TRUE(Say(*recorder, {kFirst}, rate));
    if (appliedRate_ != rate) GTEST_SKIP() << "the voice does not take a rate";
    recorder->Commit();
    lengths.push_back(WavMs(ReadAll(path)));
  }
  double ratio = static_cast<double>(lengths[1]) / static_cast<double>(lengths[0]);
  EXPECT_GT(ratio, 0.35);
  EXPECT_LT(ratio, 0.65) << lengths[0] << " ms at 160 words a minute, " << lengths[1] << " ms at 320";
}

TEST_F(Recording, DroppedWithoutCommitMidSpeechLeavesNothing) {
  {
    auto recorder = voices_.CreateRecorder(folder_.Path("half.wav"));
    auto voice = recorder->CreateVoice(sink_);
    voice->Speak(kFirst + kFirst + kFirst, platform::SVSFlagsAsync);
    auto guard = loop_.StartTimer(60000, [&] { loop_.Quit(); });
    ASSERT_TRUE(loop_.Run([&] { return recorder->RecordedMs() > 0; }));
    recorder.reset();  // the voice still holds the output and speaks on into nothing
    EXPECT_TRUE(loop_.Run([&] { return sink_.ends == 1; })) << "the voice never ended";
    loop_.StopTimer(guard);
  }
  EXPECT_TRUE(FilesIn(folder_.Path()).empty());
}

TEST_F(Recording, FilesThatCannotBeMadeFailNamingTheFolder) {
  struct Case {
    std::string path;
    std::string says;
  };
  std::string missing = folder_.Path("no-such-folder");
  std::vector<Case> cases = {
      {missing + "/out.wav", "the folder " + missing + " does not exist"},
      {folder_.Path(), "it is a folder"},
  };
  // Root writes anywhere but in the kernel's own folders.
  std::string locked = geteuid() == 0 ? "/sys" : folder_.Path("locked");
  if (geteuid() != 0) {
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(locked,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  }
  cases.push_back({locked + "/out.opus", "the folder " + locked + " is not writable"});
  for (const Case& c : cases) {
    try {
      voices_.CreateRecorder(c.path);
      ADD_FAILURE() << "recorded into " << c.path;
    } catch (const platform::Failure& failure) {
      std::string message = failure.what();
      EXPECT_TRUE(message.starts_with("cannot record speech into " + c.path + ": ")) << message;
      EXPECT_NE(std::string::npos, message.find(c.says)) << message;
    }
  }
  if (geteuid() != 0) std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
  for (const std::string& name : FilesIn(folder_.Path())) EXPECT_NE('.', name[0]) << "left behind: " << name;
}

}  // namespace
}  // namespace lectryn::speech
