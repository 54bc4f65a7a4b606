#pragma once

// mirel-render's command line: the options, their parsing, and the small text
// helpers the tool shares between its parts.

#include <optional>
#include <string>
#include <vector>

#include "tools/render/AudioFile.h"
#include "tools/common/CommandLineText.h"

namespace mirel::render {

struct Options {
  std::string plugin;
  std::string input;
  std::string output;
  std::string sidechain;
  // --set NAME=VALUE and --set-normalized ID=N in command-line order, so that
  // the last one given for a parameter wins.
  struct Set {
    bool normalized = false;
    std::string key;
    std::string value;
  };
  std::vector<Set> sets;
  int block = 512;
  int precision = 32;
  std::optional<SampleFormat> format;
  std::string formatName;
  std::string stateIn;
  std::string stateOut;
  bool listParams = false;
  bool json = false;
  bool quiet = false;
};

// A failure with its one-line message; exit code 2 for command-line mistakes.
struct Failure {
  std::string message;
  int code = 1;
};

// The usage text (--help).
extern const char* const kUsage;

using tools::Lower;
using tools::Number;
using tools::ParseInt;
using tools::ParseNumber;
using tools::Trim;

// Parses the command line; --help prints the usage and exits. Throws Failure
// (code 2) for a command-line mistake.
Options ParseArgs(int argc, char** argv);

}  // namespace mirel::render
