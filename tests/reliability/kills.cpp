// Abrupt end: the real program is killed at random moments (while starting,
// in the middle of a run of saves from side changes, right after the settings
// sheet's OK, while it exits) and started again each time. Whatever the kill
// left in the registry, the next start must give a usable mirror, and the
// last run must end with a well-formed store.
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>

#include "driver.h"
#include "reliability.h"

namespace rel {

namespace {

// The side and band the program should use with what the registry holds now.
void ExpectedSideAndBand(int& side, int& te) {
  side = 0;
  te = 50;
  if (const auto d = ReadInt32(kSettingKey, L"Direction"); d && *d >= 0 && *d <= 3) side = *d;
  if (const auto t = ReadInt32(kSettingKey, L"TransparentEdge")) te = std::clamp(*t, 0, 100);
}

// How complete the store is: "complete", or which values are missing.
std::string StoreState() {
  std::string missing;
  int count = 0;
  for (const StoredName& n : kStoredNames) {
    const std::wstring& key = std::wstring(n.key) == L"Window" ? kWindowKey : kSettingKey;
    if (!ReadInt32(key, n.name)) ++count;
  }
  if (count == 0) return "complete";
  return std::to_string(count) + " of 12 values absent";
}

const char* const kScenarios[] = {"while starting", "amid side-change saves",
                                  "after the sheet's OK", "while exiting"};

}  // namespace

int RunKills(const Options& opt) {
  Backdrop backdrop;
  if (!backdrop.Open(kBackdropA)) {
    Log("cannot show the backdrop\n");
    return 1;
  }
  std::mt19937 rng(opt.seed);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  Log("Abrupt end: %d kills, seed %u, starting from an empty registry\n\n", opt.kills, opt.seed);
  Log("| # | killed                 | delay ms | registry after the kill | next start |\n");
  Log("|---|------------------------|----------|-------------------------|------------|\n");

  DeleteAppKey();
  int failures = 0, midBurst = 0;
  for (int k = 0; k <= opt.kills; ++k) {
    Process p;
    if (!p.Start(opt.exe)) {
      Log("cannot start the program\n");
      return 1;
    }
    const int scenario = k % 4;
    // Usable after whatever the previous kill left.
    int side = 0, te = 50;
    ExpectedSideAndBand(side, te);
    const Look look = CheckLook(p.Pid(), backdrop, side, te);
    if (k > 0) Log(" %s |\n", look.fault.empty() ? "usable" : ("FAIL: " + look.fault).c_str());
    if (!look.fault.empty()) {
      ++failures;
      if (k == 0) Log("FAIL at the first start: %s\n", look.fault.c_str());
      if (k < opt.kills)
        Log("| %d | %-22s | %8s | %-23s |", k + 1, "(not run)", "-", StoreState().c_str());
      continue;
    }
    if (k == opt.kills) {
      std::string why;
      if (!ExitThroughMenu(p, look.w.mirror, why)) {
        Log("FAIL: the last run did not exit: %s\n", why.c_str());
        ++failures;
      }
      break;
    }

    int delay = 0;
    int lastSide = side;
    if (scenario == 0) {
      // This run was only the check; the next one is killed while it starts.
      p.Kill();
      if (!p.Start(opt.exe)) {
        Log("cannot start the program\n");
        return 1;
      }
      delay = pick(0, 700);
      ::Sleep(static_cast<DWORD>(delay));
      p.Kill();
    } else if (scenario == 1) {
      // Every side change saves all twelve values; kill somewhere in the run.
      for (int i = 0; i < 24; ++i) {
        lastSide = (lastSide + 1 + i % 3) % 4;
        ::PostMessageW(look.w.mirror, WM_COMMAND, CommandForSide(lastSide), 0);
      }
      delay = pick(0, 60);
      ::Sleep(static_cast<DWORD>(delay));
      p.Kill();
      if (ReadInt32(kSettingKey, L"Direction") != lastSide) ++midBurst;
    } else if (scenario == 2) {
      ::PostMessageW(look.w.mirror, WM_COMMAND, kCmdSetting, 0);
      const HWND sheet = FindDialog(p.Pid(), L"Setting", 3000);
      if (sheet) ::PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
      delay = pick(0, 40);
      ::Sleep(static_cast<DWORD>(delay));
      p.Kill();
    } else {
      ::PostMessageW(look.w.mirror, WM_COMMAND, kCmdExit, 0);
      delay = pick(0, 40);
      ::Sleep(static_cast<DWORD>(delay));
      p.Kill();
    }
    Log("| %d | %-22s | %8d | %-23s |", k + 1, kScenarios[scenario], delay, StoreState().c_str());
  }

  std::string problem;
  const auto after = ReadStored(problem);
  std::string bad = after ? CheckWellFormed(*after) : problem;
  if (!bad.empty()) {
    Log("FAIL: registry after the last exit: %s\n", bad.c_str());
    ++failures;
  }
  Log("\nkills: %d, %d of them amid a run of saves; next starts usable: %s; registry after the "
      "last exit: %s\n",
      opt.kills, midBurst, failures ? "NOT ALL" : "all", bad.empty() ? "well-formed" : bad.c_str());
  DeleteAppKey();
  return failures ? 1 : 0;
}

}  // namespace rel
