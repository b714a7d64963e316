#pragma once
// Pictures and what the program knows of itself.
#include <cstdint>
#include <memory>
#include <string>

namespace lectryn::platform {

// A decoded picture; sizes in HIMETRIC (1/100 mm) as the window code converts them to twips.
class StdPicture {
 public:
  virtual ~StdPicture() = default;
  virtual int32_t WidthHimetric() const = 0;
  virtual int32_t HeightHimetric() const = 0;
};

class Pictures {
 public:
  virtual ~Pictures() = default;
  // Throws Failure when the file is missing or cannot be decoded.
  virtual std::shared_ptr<StdPicture> LoadPicture(const std::string& path) = 0;
};

class App {
 public:
  virtual ~App() = default;
  virtual std::string Path() const = 0;  // the program's folder, no trailing separator
  virtual int32_t Major() const = 0;
  virtual int32_t Minor() const = 0;
  virtual int32_t Revision() const = 0;
  virtual std::u16string Title() const = 0;
  // True when another instance of the program is running.
  virtual bool PrevInstance() = 0;
};

// A file in the program's folder: the folder, the separator and the name.
inline std::string ProgramFile(const App& app, const std::string& name) {
  return app.Path() + '/' + name;
}

}  // namespace lectryn::platform
