#pragma once
// Pictures for tests: files a test declares with their size in pixels (at 96 DPI); any other file
// is missing and fails to load. Every load is recorded, also the failing ones.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/App.h"

namespace lectryn::sim {

// HIMETRIC (1/100 mm) of a length in pixels at 96 DPI, rounded.
int32_t HimetricOfPixels(int32_t pixels);

class SimPicture : public platform::StdPicture {
 public:
  SimPicture(std::string path, int32_t widthHimetric, int32_t heightHimetric)
      : path_(std::move(path)), width_(widthHimetric), height_(heightHimetric) {}
  int32_t WidthHimetric() const override { return width_; }
  int32_t HeightHimetric() const override { return height_; }
  // The file it was loaded from, so a test can tell which picture a window shows.
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int32_t width_;
  int32_t height_;
};

class SimPictures : public platform::Pictures {
 public:
  std::shared_ptr<platform::StdPicture> LoadPicture(const std::string& path) override;

  void AddPicture(const std::string& path, int32_t widthPixels, int32_t heightPixels);
  void RemovePicture(const std::string& path) { sizes_.erase(path); }
  const std::vector<std::string>& Loads() const { return loads_; }
  size_t CountLoads(const std::string& path) const;

 private:
  struct Size {
    int32_t widthHimetric;
    int32_t heightHimetric;
  };
  std::map<std::string, Size> sizes_;
  std::vector<std::string> loads_;
};

// The path of the picture a window shows; empty for none or a picture not made by SimPictures.
std::string PicturePath(const std::shared_ptr<platform::StdPicture>& picture);

}  // namespace lectryn::sim
