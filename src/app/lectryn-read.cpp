// lectryn-read: the terminal reader. With --print-text it loads a page (a path or an address)
// through the engine's browser control and prints the text of its body, line breaks as "\r\n".
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/ReadOptions.h"
#include "engine/Document.h"
#include "engine/load/BrowserControl.h"
#include "platform/Failure.h"
#include "platform/Text.h"
#include "system/PlainUiLoop.h"

namespace {

using namespace lectryn;

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void SayError(const std::string& message) {
  std::fprintf(stderr, "lectryn-read: %s\n", message.c_str());
}

// Loads the page and waits for ready state 4 (complete). Every load ends: the fetch limits bound
// the time it can take.
std::shared_ptr<engine::Document> LoadPage(system::PlainUiLoop& loop, const std::string& page,
                                           std::string& error) {
  engine::BrowserControl control(loop);
  control.Navigate(platform::FromUtf8(page));
  loop.Run([&] { return control.ReadyState() == static_cast<int32_t>(platform::ReadyState::Complete); });
  if (!control.LastError().empty()) {
    error = platform::ToUtf8(control.LastError());
    return nullptr;
  }
  auto document = std::dynamic_pointer_cast<engine::Document>(control.Document());
  if (!document) error = "cannot load " + page + ": no document";
  return document;
}

int PrintText(const std::string& page) {
  system::PlainUiLoop loop;
  std::string error;
  std::shared_ptr<engine::Document> document = LoadPage(loop, page, error);
  if (!document) {
    SayError(error);
    return kExitFailure;
  }
  std::string text;
  try {
    text = platform::ToUtf8(document->BodyText());
  } catch (const platform::Failure& failure) {
    SayError("cannot read the text of " + page + ": " + failure.what());
    return kExitFailure;
  }
  if (!text.empty()) text += "\r\n";
  if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
    SayError(std::string("cannot write the text: ") + std::strerror(errno));
    return kExitFailure;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  app::ParsedCommandLine parsed = app::ParseReadOptions(arguments);
  if (parsed.help) {
    std::printf("%s\n", app::ReadUsage().c_str());
    return 0;
  }
  if (!parsed.ok) {
    SayError(parsed.error);
    std::fprintf(stderr, "%s\n", app::ReadUsage().c_str());
    return kExitUsage;
  }
  switch (parsed.options.mode) {
    case app::ReadMode::PrintText:
      return PrintText(parsed.options.page);
    case app::ReadMode::None:
      break;
  }
  return kExitUsage;
}
