// The desktop program's two voice engines behind one factory: what goes to the engine in use and what
// always goes to espeak-ng.
#include "app/VoiceEngines.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/Text.h"

namespace lectryn::app {
namespace {

// A voice that only tells which engine made it.
class MarkedVoice : public platform::SpVoice {
 public:
  explicit MarkedVoice(std::string engine) : engine(std::move(engine)) {}
  int32_t Speak(const std::u16string&, int32_t) override { return 1; }
  int32_t Skip(const std::u16string&, int32_t) override { return 0; }
  platform::SpeechVoiceStatus Status() const override { return {}; }
  void SetLanguage(const std::u16string&) override {}
  const std::string engine;
};

// An engine whose answers carry its name; it records only when asked to be able to.
class NamedEngine : public platform::VoiceFactory {
 public:
  NamedEngine(std::string name, int32_t normalRate, bool records)
      : name_(std::move(name)), normalRate_(normalRate), records_(records) {}
  std::shared_ptr<platform::SpVoice> CreateVoice(platform::VoiceEvents&) override {
    return std::make_shared<MarkedVoice>(name_);
  }
  std::vector<platform::InstalledVoice> InstalledVoices() override {
    return {{name_ + ":one", u"One", {"en"}}};
  }
  std::string DefaultVoiceFor(const std::u16string& tag) override {
    return name_ + ":" + platform::ToUtf8(tag);
  }
  int32_t DefaultRate() const override { return normalRate_; }
  std::unique_ptr<platform::AudioRecorder> CreateRecorder(const std::string& path) override {
    if (!records_) return VoiceFactory::CreateRecorder(path);
    recorded.push_back(path);
    return nullptr;
  }
  std::vector<std::string> recorded;

 private:
  std::string name_;
  int32_t normalRate_;
  bool records_;
};

struct NoEvents : platform::VoiceEvents {
  void pVoice_Word(int32_t, int64_t, int32_t, int32_t) override {}
  void pVoice_EndStream(int32_t, int64_t) override {}
};

class VoiceEnginesTest : public ::testing::Test {
 protected:
  NamedEngine espeak_{"espeak", 175, true};
  NamedEngine speechd_{"speechd", 160, false};
  VoiceEngines engines_{espeak_, speechd_};
  NoEvents sink_;
};

// What each call answers, with the engine that answered it: "espeak espeak:one espeak:fr 175".
std::string Answers(VoiceEngines& engines, platform::VoiceEvents& sink) {
  auto voice = std::dynamic_pointer_cast<MarkedVoice>(engines.CreateVoice(sink));
  return (voice ? voice->engine : "nothing") + " " + engines.InstalledVoices().at(0).identifier + " " +
         engines.DefaultVoiceFor(u"fr") + " " + std::to_string(engines.DefaultRate());
}

TEST_F(VoiceEnginesTest, VoicesTheirListDefaultsAndNormalSpeedComeFromTheEngineInUse) {
  EXPECT_EQ("espeak", engines_.EngineInUse());
  EXPECT_EQ("espeak espeak:one espeak:fr 175", Answers(engines_, sink_));
  EXPECT_TRUE(engines_.UseEngine("speechd"));
  EXPECT_EQ("speechd", engines_.EngineInUse());
  EXPECT_EQ("speechd speechd:one speechd:fr 160", Answers(engines_, sink_));

  // A key no engine has (a setting written by another version) changes nothing.
  EXPECT_FALSE(engines_.UseEngine("festival"));
  EXPECT_FALSE(engines_.UseEngine(""));
  EXPECT_EQ("speechd", engines_.EngineInUse());
  EXPECT_TRUE(engines_.UseEngine("espeak"));
  EXPECT_EQ("espeak espeak:one espeak:fr 175", Answers(engines_, sink_));
}

TEST_F(VoiceEnginesTest, AudioFilesAreWrittenWithEspeakWhicheverEngineSpeaks) {
  engines_.UseEngine("speechd");
  EXPECT_NO_THROW(engines_.CreateRecorder("/tmp/a.wav"));
  EXPECT_EQ(std::vector<std::string>{"/tmp/a.wav"}, espeak_.recorded);
}

TEST_F(VoiceEnginesTest, ListsBothEnginesForPeopleAndGivesEachOnesFactory) {
  std::vector<platform::VoiceEngine> listed = engines_.Engines();
  ASSERT_EQ(2u, listed.size());
  EXPECT_EQ("espeak", listed[0].key);
  EXPECT_EQ(u"Lectryn's voices (espeak-ng)", listed[0].name);
  EXPECT_EQ("speechd", listed[1].key);
  EXPECT_EQ(u"Desktop voices (speech-dispatcher)", listed[1].name);

  // Listing an engine's voices does not choose it.
  EXPECT_EQ(&speechd_, &engines_.EngineFactory("speechd"));
  EXPECT_EQ(&espeak_, &engines_.EngineFactory("espeak"));
  EXPECT_EQ(&engines_, &engines_.EngineFactory("festival"));
  EXPECT_EQ("espeak", engines_.EngineInUse());
}

}  // namespace
}  // namespace lectryn::app
