#include "speech/WavFileOutput.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/Failure.h"

namespace lectryn::speech {
namespace {

std::vector<unsigned char> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t Le32(const std::vector<unsigned char>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}
uint16_t Le16(const std::vector<unsigned char>& b, size_t at) {
  return static_cast<uint16_t>(b[at] | (b[at + 1] << 8));
}
std::string Tag(const std::vector<unsigned char>& b, size_t at) {
  return std::string(b.begin() + at, b.begin() + at + 4);
}

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() /
          (std::string("lectryn-") + name + "-" + std::to_string(::getpid()) + ".wav"))
      .string();
}

// Checks a complete header for dataBytes of 16-bit mono audio at the voice's rate.
void ExpectHeader(const std::vector<unsigned char>& file, uint32_t dataBytes) {
  ASSERT_EQ(44u + dataBytes, file.size());
  EXPECT_EQ("RIFF", Tag(file, 0));
  EXPECT_EQ(36u + dataBytes, Le32(file, 4));
  EXPECT_EQ("WAVE", Tag(file, 8));
  EXPECT_EQ("fmt ", Tag(file, 12));
  EXPECT_EQ(16u, Le32(file, 16));
  EXPECT_EQ(1, Le16(file, 20));  // PCM
  EXPECT_EQ(1, Le16(file, 22));  // mono
  EXPECT_EQ(22050u, Le32(file, 24));
  EXPECT_EQ(44100u, Le32(file, 28));
  EXPECT_EQ(2, Le16(file, 32));
  EXPECT_EQ(16, Le16(file, 34));
  EXPECT_EQ("data", Tag(file, 36));
  EXPECT_EQ(dataBytes, Le32(file, 40));
}

TEST(WavFile, HeaderHoldsTheFinalLengthAndSamplesAreLittleEndian) {
  std::string path = TempPath("final");
  {
    WavFileOutput output(path);
    std::vector<int16_t> samples = {0, 1, -1, 32767, -32768};
    output.Write(samples);
    output.Write(samples);
  }
  auto file = ReadAll(path);
  ExpectHeader(file, 20);
  EXPECT_EQ(0x01, file[46]);
  EXPECT_EQ(0x00, file[47]);
  EXPECT_EQ(0xFF, file[48]);  // -1
  EXPECT_EQ(0xFF, file[49]);
  EXPECT_EQ(0x00, file[52]);  // -32768
  EXPECT_EQ(0x80, file[53]);
  std::filesystem::remove(path);
}

TEST(WavFile, UnwritableFolderIsAFailureNamingTheFile) {
  try {
    WavFileOutput output("/nonexistent-folder/out.wav");
    FAIL() << "opened a file in a folder that does not exist";
  } catch (const platform::Failure& failure) {
    EXPECT_NE(std::string(failure.what()).find("/nonexistent-folder/out.wav"), std::string::npos)
        << failure.what();
  }
}

}  // namespace
}  // namespace lectryn::speech
