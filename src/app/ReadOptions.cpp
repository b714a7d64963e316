#include "app/ReadOptions.h"

#include <functional>
#include <optional>
#include <string_view>

namespace lectryn::app {
namespace {

struct OptionEntry {
  std::string_view name;
  std::string_view valueName;  // empty for a switch
  std::function<void(ReadOptions&, const std::string&)> apply;
};

const std::vector<OptionEntry>& Options() {
  static const std::vector<OptionEntry> options = {
      {"--print-text", "", [](ReadOptions& o, const std::string&) { o.mode = ReadMode::PrintText; }},
  };
  return options;
}

const OptionEntry* FindOption(std::string_view name) {
  for (const OptionEntry& entry : Options())
    if (entry.name == name) return &entry;
  return nullptr;
}

ParsedCommandLine Fail(std::string error) {
  ParsedCommandLine parsed;
  parsed.error = std::move(error);
  return parsed;
}

}  // namespace

std::string ReadUsage() {
  std::string usage = "usage: lectryn-read";
  for (const OptionEntry& entry : Options()) {
    usage += " ";
    usage += entry.name;
    if (!entry.valueName.empty()) usage += " " + std::string(entry.valueName);
  }
  return usage + " PAGE";
}

ParsedCommandLine ParseReadOptions(const std::vector<std::string>& arguments) {
  ParsedCommandLine parsed;
  std::optional<std::string> page;
  bool optionsEnded = false;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    bool isOption = !optionsEnded && argument.size() > 1 && argument[0] == '-';
    if (!isOption) {
      if (page) return Fail("more than one page given: " + *page + " and " + argument);
      page = argument;
      continue;
    }
    if (argument == "--") {
      optionsEnded = true;
      continue;
    }
    if (argument == "-h" || argument == "--help") {
      parsed.help = true;
      parsed.ok = true;
      return parsed;
    }
    size_t equals = argument.find('=');
    std::string name = argument.substr(0, equals);
    const OptionEntry* entry = FindOption(name);
    if (entry == nullptr) return Fail("unknown option " + name);
    std::string value;
    if (entry->valueName.empty()) {
      if (equals != std::string::npos) return Fail(name + " takes no value");
    } else if (equals != std::string::npos) {
      value = argument.substr(equals + 1);
    } else if (i + 1 < arguments.size()) {
      value = arguments[++i];
    } else {
      return Fail(name + " needs " + std::string(entry->valueName));
    }
    entry->apply(parsed.options, value);
  }
  if (!page) return Fail("no page given");
  if (parsed.options.mode == ReadMode::None) return Fail("say what to do with the page: --print-text");
  parsed.options.page = *page;
  parsed.ok = true;
  return parsed;
}

}  // namespace lectryn::app
