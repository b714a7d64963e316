#include "sim/SimPictures.h"

#include <algorithm>

#include "platform/Failure.h"

namespace lectryn::sim {

int32_t HimetricOfPixels(int32_t pixels) {
  // 96 pixels to the inch, 2540 HIMETRIC to the inch.
  return static_cast<int32_t>((static_cast<int64_t>(pixels) * 2540 + 48) / 96);
}

std::shared_ptr<platform::StdPicture> SimPictures::LoadPicture(const std::string& path) {
  loads_.push_back(path);
  auto found = sizes_.find(path);
  if (found == sizes_.end()) throw platform::Failure("no picture file " + path);
  return std::make_shared<SimPicture>(path, found->second.widthHimetric, found->second.heightHimetric);
}

void SimPictures::AddPicture(const std::string& path, int32_t widthPixels, int32_t heightPixels) {
  sizes_[path] = {HimetricOfPixels(widthPixels), HimetricOfPixels(heightPixels)};
}

size_t SimPictures::CountLoads(const std::string& path) const {
  return static_cast<size_t>(std::count(loads_.begin(), loads_.end(), path));
}

std::string PicturePath(const std::shared_ptr<platform::StdPicture>& picture) {
  auto* sim = dynamic_cast<const SimPicture*>(picture.get());
  return sim ? sim->Path() : std::string();
}

}  // namespace lectryn::sim
