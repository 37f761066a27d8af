// The main window's grid with many rows, in the real window system (run it
// under Wine, or on Windows): what filling it costs per record, and what a
// page down and a jump of the scroll box cost to repaint.
//
//   grid_bench.exe [--rows N]...   (default 10,000, 44,000 and 100,000)
//
// For each size a new main window gets N records in its duplicate list
// and fills the grid with ShowList, as the first analysis after the start
// ends: the progress
// window "Вывод данных" and its updates included, with the throttle's
// pauses (about 30 ms per update), which are counted and shown apart. Then
// 20 page downs and 20 jumps of the scroll box to far rows, each painted at
// once. Prints the best of three fills and the mean and worst repaint;
// then what a call of the progress throttle costs between its due ticks.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/engine.h"
#include "app/unit1_win.h"
#include "framework/application_win.h"

namespace {

using framework::Application;

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Windows-1251 "Ролик " and a number: names as long as real ones.
std::string ClipName(int i) {
  return "\xD0\xEE\xEB\xE8\xEA \xAB\xC3\xE0\xE7\xE5\xF2\xE0\xBB 30 \xF1\xE5\xEA, \xE2\xE5\xF0\xF1\xE8\xFF " +
         std::to_string(i % 977);
}

// Processor time of this process so far, user and system.
double ProcessSeconds() {
  FILETIME created, ended, kernel, user;
  GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user);
  auto ticks = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
  return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;
}

struct Fill {
  double seconds = 0;
  double cpu = 0;  // processor time of the fill
  int updates = 0;  // progress updates, each with the throttle's pauses
};

Fill FillGrid(app::TQuorren* form, int rows) {
  cleaning::TDupList& list = form->State.FDupList;
  list.Clear();
  for (int i = 0; i < rows; ++i) {
    cleaning::TBlockRec rec;
    rec.Name.Assign(ClipName(i));
    rec.Date = 40544 + i / 500;
    rec.Time = (i % 500) / 500.0;
    rec.Number = static_cast<int16_t>(i % 12);
    rec.Order = 90000 + i;
    rec.YearOrder = 2013;
    list.Add(rec);
  }
  Fill fill;
  app::SetSleep([&fill](int32_t ms) {
    ++fill.updates;
    Sleep(static_cast<DWORD>(ms));
  });
  const double start = Now(), cpu = ProcessSeconds();
  form->ShowList();
  Application().ProcessMessages();
  fill.seconds = Now() - start;
  fill.cpu = ProcessSeconds() - cpu;
  app::SetSleep(nullptr);
  return fill;
}

struct Repaints {
  double mean = 0, worst = 0;
};

template <typename Move>
Repaints TimeRepaints(HWND grid, int times, Move move) {
  Repaints r;
  for (int i = 0; i < times; ++i) {
    const double start = Now();
    move(i);
    UpdateWindow(grid);
    GdiFlush();
    const double s = Now() - start;
    r.mean += s / times;
    r.worst = std::max(r.worst, s);
  }
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--rows" && i + 1 < argc) sizes.push_back(std::max(1, std::atoi(argv[++i])));
    else {
      std::fprintf(stderr, "usage: grid_bench [--rows N]...\n");
      return 2;
    }
  }
  if (sizes.empty()) sizes = {10000, 44000, 100000};
  Application().Initialize();
  app::SetMessagePump([] { Application().ProcessMessages(); });

  std::printf("%8s | %-10s %8s %7s %-12s %-9s | %-17s | %-17s\n", "rows", "fill ms", "updates", "pauses", "us/record",
              "cpu us", "page down ms", "jump ms");
  for (int rows : sizes) {
    // Each fill in a new main window, as at an analysis after the start:
    // the grid grows from its one empty row and gains its scroll bar.
    app::TQuorren* form = nullptr;
    Fill best;
    best.seconds = 1e9;
    double best_cpu = 1e9;
    for (int run = 0; run < 3; ++run) {
      if (form != nullptr) {
        delete form;
        Application().ProcessMessages();
      }
      form = new app::TQuorren(&Application());
      form->Show();
      Application().ProcessMessages();
      Fill f = FillGrid(form, rows);
      if (f.seconds < best.seconds) best = f;
      best_cpu = std::min(best_cpu, f.cpu);
    }
    const double pauses = best.updates * 0.030;
    HWND grid = form->SG->Handle();
    form->SG->SetTopRow(1);
    UpdateWindow(grid);
    const Repaints page = TimeRepaints(grid, 20, [&](int) { SendMessageW(grid, WM_VSCROLL, SB_PAGEDOWN, 0); });
    const Repaints jump = TimeRepaints(grid, 20, [&](int i) { form->SG->SetTopRow(1 + (i * 7919 + 13) % rows); });
    std::printf("%8d | %10.1f %8d %7.2f %12.2f %9.2f | %7.2f (%7.2f) | %7.2f (%7.2f)\n", rows, best.seconds * 1e3,
                best.updates, pauses, (best.seconds - pauses) / rows * 1e6, best_cpu / rows * 1e6, page.mean * 1e3,
                page.worst * 1e3, jump.mean * 1e3, jump.worst * 1e3);
    std::fflush(stdout);
    delete form;
    Application().ProcessMessages();
  }
  std::printf("fill: ShowList with its progress window, best of 3; updates: progress updates, each pausing about\n"
              "30 ms (pauses, s); us/record: the fill less the pauses, per record; cpu us: the least processor\n"
              "time of the three fills (this process's, to 10 ms), per record; repaints: mean (worst) of 20\n");

  // The throttle between due ticks, as the passes call it for every row.
  int calls = 0;
  app::ProgressDue();
  const double start = Now();
  while (calls < 1000000 && !app::ProgressDue()) ++calls;
  std::printf("ProgressDue, calls that are not due: %.1f ns each (%d calls)\n", (Now() - start) / calls * 1e9, calls);
  return 0;
}
