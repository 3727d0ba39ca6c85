// Prints the plug-in's identity and its parameters with ranges, defaults and display texts.
// Builds an instance on a host-less wrapper: nothing is processed and nothing reaches a host.
#include <cstdio>
#include <memory>

#include "core/IPlugNoHost.h"
#include "plugin/Tarvex.h"

namespace
{
class InfoWrapper : public IPlugNoHost
{
public:
  struct InstanceInfo
  {
  };
  InfoWrapper(const InstanceInfo&, int nParams, const char* io, int nPresets, const char* name,
              const char* product, const char* maker, int version, int id, int makerID, int latency,
              int flags, bool chunks, bool instrument)
      : IPlugNoHost(nParams, io, nPresets, name, product, maker, version, id, makerID, latency,
                    flags, chunks, instrument)
  {
  }
};

void FourCCText(int code, char out[5])
{
  for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((code >> (24 - 8 * i)) & 0xff);
  out[4] = 0;
}
} // namespace

int main()
{
  std::unique_ptr<Tarvex<InfoWrapper>> plug(CreateTarvex<InfoWrapper>(InfoWrapper::InstanceInfo{}));
  if (!plug)
  {
    fprintf(stderr, "tarvex-info: could not create an instance\n");
    return 1;
  }
  char version[32], id[5], maker[5];
  plug->VersionText(version, sizeof(version));
  FourCCText(plug->GetUniqueID(), id);
  FourCCText(plug->GetMakerID(), maker);
  printf("%s by %s, %s (%d), unique ID '%s', maker ID '%s', channels \"1-1 2-2\", latency %d "
         "samples\n\n",
         plug->GetEffectName(), plug->GetMakerName(), version, plug->VersionNumber(true), id, maker,
         plug->GetLatency());
  printf("%-3s %-18s %12s %12s %12s %6s %5s  %s\n", "#", "name", "default", "min", "max", "step",
         "shape", "shown as");
  for (int i = 0; i < plug->NParams(); ++i)
  {
    const IParam* p = plug->GetParam(i);
    char shown[128];
    p->FormatValue(p->mValue, false, shown, sizeof(shown));
    printf("%-3d %-18s %12.6g %12.6g %12.6g %6g %5g  %s%s%s\n", i, p->NameText(), p->Value(),
           p->mMin, p->mMax, p->mStep, p->mShape, shown, *p->LabelText() ? " " : "",
           p->LabelText());
  }
  return 0;
}
