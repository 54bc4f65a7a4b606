#include "plugbase/HostIdentity.h"

#include <array>
#include <string>
#include <utility>

std::int32_t IdentifyHost(const char* hostName) {
  // Table order matters: a name containing two entries takes the earlier one.
  static constexpr std::array<std::pair<const char*, std::int32_t>, 26> kHosts{{
      {"cubase", 3},      {"reaper", 1},     {"nuendo", 4},    {"cakewalk", 5},
      {"samplitude", 8},  {"fruity", 7},     {"live", 9},      {"melodyne", 12},
      {"vstmanlib", 13},  {"aulab", 14},     {"garageband", 22}, {"forte", 15},
      {"chainer", 16},    {"audition", 17},  {"orion", 18},    {"sawstudio", 20},
      {"logic", 21},      {"digital", 23},   {"audiomulch", 25}, {"presonus", 26},
      {"vst3plugintesthost", 27}, {"protools", 2}, {"ardour", 28}, {"openmpt", 30},
      {"renoise", 29},    {"standalone", 24},
  }};
  if (!hostName) return 0;
  std::string lower(hostName);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  for (const auto& [name, code] : kHosts) {
    if (lower.find(name) != std::string::npos) return code;
  }
  return 0;
}
