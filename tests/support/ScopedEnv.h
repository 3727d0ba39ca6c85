// An environment variable set (or, for null, unset) until the end of a scope, then restored.
// Tests that depend on GDK_SCALE or DISPLAY use it so that the developer's own settings do not
// reach them. Not thread-safe, as setenv is not.
#pragma once

#include <cstdlib>
#include <string>

class ScopedEnv
{
public:
  ScopedEnv(const char* name, const char* value) : mName(name)
  {
    const char* old = getenv(name);
    mHad = old != nullptr;
    if (mHad) mOld = old;
    Set(value);
  }
  ~ScopedEnv()
  {
    if (mHad)
      setenv(mName.c_str(), mOld.c_str(), 1);
    else
      unsetenv(mName.c_str());
  }
  void Set(const char* value)
  {
    if (value)
      setenv(mName.c_str(), value, 1);
    else
      unsetenv(mName.c_str());
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
  std::string mName, mOld;
  bool mHad = false;
};
