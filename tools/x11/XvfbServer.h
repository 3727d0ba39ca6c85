// Starts a private Xvfb server on a free display number and stops exactly that server.
//
// The server picks its own display number (-displayfd), so several programs can start servers at
// the same time without racing for a number. One thread; not copyable. The destructor stops the
// server if it is still running, and the server ends with the process that started it even when
// that process dies first.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

class XvfbServer
{
public:
  XvfbServer() = default;
  ~XvfbServer() { Stop(); }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  // extraArgs go to Xvfb after the screen set-up (e.g. "-extension", "MIT-SHM"); screen is
  // WIDTHxHEIGHTxDEPTH. False with a message when Xvfb cannot be run or reports no display within
  // timeoutMs.
  bool Start(const std::vector<std::string>& extraArgs, std::string* error, int timeoutMs = 10000,
             const std::string& screen = "1024x768x24");
  // SIGTERM to our server, then waits for it (SIGKILL after two seconds).
  void Stop();

  bool Running() const { return mPid > 0; }
  // ":N" of the running server, "" when none.
  const std::string& DisplayName() const { return mDisplayName; }

private:
  pid_t mPid = -1;
  std::string mDisplayName;
};
