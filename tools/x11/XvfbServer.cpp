#include "tools/x11/XvfbServer.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

namespace
{
long long NowMs()
{
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * 1000ll + ts.tv_nsec / 1000000;
}
} // namespace

bool XvfbServer::Start(const std::vector<std::string>& extraArgs, std::string* error, int timeoutMs,
                       const std::string& screen)
{
  Stop();
  int fds[2];
  if (pipe(fds) != 0)
  {
    if (error) *error = std::string("cannot make a pipe: ") + strerror(errno);
    return false;
  }
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  const std::string fdText = std::to_string(fds[1]);
  std::vector<std::string> args = {"Xvfb", "-displayfd", fdText, "-screen", "0",
                                   screen, "-nolisten",  "tcp",  "-noreset"};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(&a[0]);
  argv.push_back(nullptr);

  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0)
  {
    // The server goes with us even if we die without stopping it (a crash, an exit from a
    // failed check).
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    // The server's chatter would only clutter the caller's output.
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0)
    {
      dup2(null, 1);
      dup2(null, 2);
    }
    execvp("Xvfb", argv.data());
    _exit(127);
  }
  close(fds[1]);
  if (pid < 0)
  {
    close(fds[0]);
    if (error) *error = std::string("cannot run Xvfb: ") + strerror(errno);
    return false;
  }
  mPid = pid;

  // The server writes its display number and a newline once it accepts connections.
  std::string number;
  const long long deadline = NowMs() + timeoutMs;
  bool done = false;
  while (!done)
  {
    const long long left = deadline - NowMs();
    if (left <= 0) break;
    pollfd p = {fds[0], POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char c;
    const ssize_t n = read(fds[0], &c, 1);
    if (n <= 0) break; // the server went away
    if (c == '\n')
      done = !number.empty();
    else if (c >= '0' && c <= '9')
      number.push_back(c);
  }
  close(fds[0]);
  if (!done)
  {
    // A server that could not be run has exited with 127 by the time its pipe closed, or just
    // after.
    int status = 0;
    bool notRun = false;
    for (int i = 0; i < 20; ++i)
    {
      if (waitpid(mPid, &status, WNOHANG) == mPid)
      {
        notRun = WIFEXITED(status) && WEXITSTATUS(status) == 127;
        mPid = -1; // reaped: nothing left to stop
        break;
      }
      usleep(10000);
    }
    Stop();
    if (error) *error = notRun ? "cannot run Xvfb: not found" : "Xvfb did not report a display";
    return false;
  }
  mDisplayName = ":" + number;
  return true;
}

void XvfbServer::Stop()
{
  if (mPid <= 0) return;
  kill(mPid, SIGTERM);
  const long long deadline = NowMs() + 2000;
  int status = 0;
  for (;;)
  {
    const pid_t r = waitpid(mPid, &status, WNOHANG);
    if (r == mPid || (r < 0 && errno != EINTR)) break;
    if (NowMs() > deadline)
    {
      kill(mPid, SIGKILL);
      waitpid(mPid, &status, 0);
      break;
    }
    usleep(10000);
  }
  mPid = -1;
  mDisplayName.clear();
}
