// A host that defines none of Apple's functions: loading the bundle must fail, naming the first
// missing symbol. Prints dlerror() and exits 1 on failure, 0 if the bundle loaded.
#include <cstdio>
#include <dlfcn.h>

int main(int argc, char** argv)
{
  if (argc < 2) return 2;
  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (!library)
  {
    printf("%s\n", dlerror());
    return 1;
  }
  printf("loaded\n");
  return 0;
}
