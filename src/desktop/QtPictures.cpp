#include "desktop/QtPictures.h"

#include <QFileInfo>
#include <QImageReader>

#include "platform/Failure.h"

namespace lectryn::desktop {
namespace {

constexpr int kPixelsPerInch = 96;
constexpr int kHimetricPerInch = 2540;

int32_t HimetricOfPixels(int pixels) {
  return static_cast<int32_t>((pixels * kHimetricPerInch + kPixelsPerInch / 2) / kPixelsPerInch);
}

}  // namespace

int32_t QtPicture::WidthHimetric() const {
  return HimetricOfPixels(pixmap_.width());
}

int32_t QtPicture::HeightHimetric() const {
  return HimetricOfPixels(pixmap_.height());
}

std::shared_ptr<platform::StdPicture> QtPictures::LoadPicture(const std::string& path) {
  QString file = QString::fromStdString(path);
  if (!QFileInfo(file).isFile()) throw platform::Failure("cannot read " + path + ": no such file");
  QImageReader reader(file);
  QImage image = reader.read();
  if (image.isNull())
    throw platform::Failure("cannot read " + path + ": " + reader.errorString().toStdString());
  return std::make_shared<QtPicture>(QPixmap::fromImage(image));
}

}  // namespace lectryn::desktop
