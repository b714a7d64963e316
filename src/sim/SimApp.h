#pragma once
// What the program knows of itself, as a test sets it: folder, version 1.0.0, title and whether
// another copy runs.
#include <cstdint>
#include <string>

#include "platform/App.h"

namespace lectryn::sim {

inline constexpr char kSimAppPath[] = "/opt/lectryn";

class SimApp : public platform::App {
 public:
  std::string Path() const override { return path_; }
  int32_t Major() const override { return major_; }
  int32_t Minor() const override { return minor_; }
  int32_t Revision() const override { return revision_; }
  std::u16string Title() const override { return title_; }
  bool PrevInstance() override {
    ++prevInstanceAsked_;
    return prevInstance_;
  }

  void SetPath(std::string path) { path_ = std::move(path); }
  void SetVersion(int32_t major, int32_t minor, int32_t revision) {
    major_ = major;
    minor_ = minor;
    revision_ = revision;
  }
  void SetTitle(std::u16string title) { title_ = std::move(title); }
  void SetPrevInstance(bool running) { prevInstance_ = running; }
  int32_t PrevInstanceAsked() const { return prevInstanceAsked_; }

 private:
  std::string path_ = kSimAppPath;
  int32_t major_ = 1;
  int32_t minor_ = 0;
  int32_t revision_ = 0;
  std::u16string title_ = u"Lectryn";
  bool prevInstance_ = false;
  int32_t prevInstanceAsked_ = 0;
};

}  // namespace lectryn::sim
