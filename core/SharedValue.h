// A double that one thread writes while others read it without a lock (a parameter value that the
// editor draws while a host thread sets it). Every access is one relaxed atomic load or store of
// the whole value: a reader sees the old value or the new one, never a mix of both. Ordering with
// other data comes from the locks and flags around it, not from this type.
#pragma once

class SharedDouble
{
public:
  SharedDouble(double value = 0.0) : mValue(value) {}
  // Copies read the other value once; the copy is not atomic as a whole with anything else.
  SharedDouble(const SharedDouble& other) : mValue(other.Load()) {}
  SharedDouble& operator=(const SharedDouble& other)
  {
    Store(other.Load());
    return *this;
  }
  SharedDouble& operator=(double value)
  {
    Store(value);
    return *this;
  }
  operator double() const { return Load(); }

  double Load() const
  {
    double value;
    __atomic_load(&mValue, &value, __ATOMIC_RELAXED);
    return value;
  }
  void Store(double value) { __atomic_store(&mValue, &value, __ATOMIC_RELAXED); }

private:
  double mValue;
};
