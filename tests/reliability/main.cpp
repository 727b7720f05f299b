// vellora_reliability.exe <command> <path of vellora.exe> [options]
//   registry [--only NAME]      damaged registry values, one at a time
//   longrun [--seconds N]       simulated use with the counters sampled
//   kills [--count N] [--seed S] the process killed at random moments
//   desktops                    several monitors, negative coordinates, odd placements
// Each prints what it tried and exits with 0 only if every check passed.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "reliability.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s registry|longrun|kills|desktops <vellora.exe> [options]\n",
                 argv[0]);
    return 2;
  }
  const std::string command = argv[1];
  rel::Options opt;
  // A host path (from the script) is reached through drive Z: under Wine.
  std::string path = argv[2];
  if (!path.empty() && path[0] == '/') {
    path = "Z:" + path;
    for (char& c : path)
      if (c == '/') c = '\\';
  }
  opt.exe.assign(path.begin(), path.end());
  opt.seed = static_cast<unsigned>(::GetTickCount());
  for (int i = 3; i + 1 < argc; i += 2) {
    const std::string name = argv[i], value = argv[i + 1];
    if (name == "--seconds")
      opt.seconds = std::atoi(value.c_str());
    else if (name == "--count")
      opt.kills = std::atoi(value.c_str());
    else if (name == "--seed")
      opt.seed = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
    else if (name == "--only")
      opt.only = value;
    else {
      std::fprintf(stderr, "unknown option %s\n", name.c_str());
      return 2;
    }
  }
  if (command == "registry") return rel::RunRegistry(opt);
  if (command == "longrun") return rel::RunLongRun(opt);
  if (command == "kills") return rel::RunKills(opt);
  if (command == "desktops") return rel::RunDesktops(opt);
  std::fprintf(stderr, "unknown command %s\n", command.c_str());
  return 2;
}
