#pragma once
// Pictures decoded by Qt's image readers (GIF, JPEG, PNG). Sizes are reported in HIMETRIC at the
// platform's 96 pixels to the inch: px * 2540 / 96, rounded.
#include <QPixmap>
#include <memory>
#include <string>

#include "platform/App.h"

namespace lectryn::desktop {

class QtPicture : public platform::StdPicture {
 public:
  explicit QtPicture(QPixmap pixmap) : pixmap_(std::move(pixmap)) {}
  int32_t WidthHimetric() const override;
  int32_t HeightHimetric() const override;
  const QPixmap& Pixmap() const { return pixmap_; }

 private:
  QPixmap pixmap_;
};

class QtPictures : public platform::Pictures {
 public:
  // Throws platform::Failure naming the file and what went wrong.
  std::shared_ptr<platform::StdPicture> LoadPicture(const std::string& path) override;
};

}  // namespace lectryn::desktop
