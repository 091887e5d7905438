#include "host/frame_trace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "director/demo.h"
#include "director/timeline.h"

namespace host {

namespace {

std::FILE* g_trace = nullptr;
std::string g_tracePath;

// %.9g prints every float exactly enough to read it back unchanged.
void writeFrame(const FrameRecord& frame, int64_t pass, double renderMs) {
  const FrameSync& s = frame.sync;
  std::fprintf(g_trace, "%lld,%.9g,%d,%d,%.9g,%d,%d,%.9g,%.9g,%.3f\n", static_cast<long long>(pass),
               static_cast<double>(s.time), s.row, s.order, static_cast<double>(s.beats),
               static_cast<int>(frame.scene), s.newRow ? 1 : 0, static_cast<double>(frame.gamma),
               static_cast<double>(frame.flash), renderMs);
}

}  // namespace

bool openFrameTrace(const std::string& path, std::string* error) {
  g_trace = std::fopen(path.c_str(), "w");
  if (g_trace == nullptr) {
    *error = "cannot write the trace " + path + ": " + std::strerror(errno);
    return false;
  }
  g_tracePath = path;
  // A line per frame as it is drawn, so the trace of a live run can be followed while it runs.
  std::setvbuf(g_trace, nullptr, _IOLBF, 0);
  std::fputs("frame,time,row,order,beats,scene,newRow,gamma,flash,render_ms\n", g_trace);
  setFrameObserver(&writeFrame);
  return true;
}

bool closeFrameTrace(std::string* error) {
  if (g_trace == nullptr) return true;
  setFrameObserver(nullptr);
  const bool ok = std::ferror(g_trace) == 0;
  const bool closed = std::fclose(g_trace) == 0;
  g_trace = nullptr;
  if (!ok || !closed) {
    *error = "writing the trace " + g_tracePath + " failed";
    return false;
  }
  return true;
}

}  // namespace host
