#pragma once
// The command line of lectryn-read. Options are described in one table (ReadOptions.cpp), so a new
// option is one entry there and one member here.
#include <string>
#include <vector>

namespace lectryn::app {

enum class ReadMode { None, PrintText };

struct ReadOptions {
  ReadMode mode = ReadMode::None;
  std::string page;  // a path or an address, as given
};

struct ParsedCommandLine {
  bool ok = false;
  bool help = false;  // -h or --help: print the usage and stop
  ReadOptions options;
  std::string error;  // for people, when !ok: "unknown option --x"
};

// arguments: without the program name. "--name value" and "--name=value" are both accepted;
// "--" ends the options.
ParsedCommandLine ParseReadOptions(const std::vector<std::string>& arguments);

std::string ReadUsage();

}  // namespace lectryn::app
