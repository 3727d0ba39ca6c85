// tarvex-lv2-ttl: writes the LV2 bundle's manifest.ttl and Tarvex.ttl from the plug-in's own
// parameter table, so names, ranges, defaults and units cannot drift from the code.
//
//   tarvex-lv2-ttl <bundle folder> <binary file name>
//
// Both files are written under temporary names and renamed into place; exit status 1 on failure.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "lv2/Lv2Ports.h"
#include "lv2/TarvexParamTable.h"

namespace
{
// A Turtle number literal that reads back as the same double ("1.0", "-68.68588963806504",
// "1e-06").
std::string Number(double v)
{
  char text[64];
  for (int precision = 6; precision <= 17; ++precision)
  {
    snprintf(text, sizeof(text), "%.*g", precision, v);
    if (strtod(text, nullptr) == v) break;
  }
  std::string s = text;
  if (s.find_first_of(".eEn") == std::string::npos) s += ".0";
  return s;
}

std::string Quoted(const char* text)
{
  std::string s = "\"";
  for (const char* c = text; *c; ++c)
  {
    if (*c == '"' || *c == '\\') s += '\\';
    s += *c;
  }
  return s + "\"";
}

// The unit of a parameter label: a term of the units vocabulary, or one of ours.
std::string UnitFor(const char* label)
{
  if (!strcmp(label, "dB")) return "units:db";
  if (!strcmp(label, "Hz")) return "units:hz";
  if (!strcmp(label, "semitones")) return "units:semitone12TET";
  if (!strcmp(label, "dB/oct")) return "tarvex:decibelsPerOctave";
  if (!strcmp(label, "x")) return "tarvex:times";
  return "";
}

std::string Manifest(const std::string& binary)
{
  std::string t;
  t += "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n";
  t += "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n";
  t += "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n\n";
  t += std::string("<") + kTarvexLv2URI + ">\n\ta lv2:Plugin ;\n\tlv2:binary <" + binary +
       "> ;\n\trdfs:seeAlso <Tarvex.ttl> .\n\n";
  t += std::string("<") + kTarvexLv2UiURI + ">\n\ta ui:X11UI ;\n\tui:binary <" + binary +
       "> ;\n\trdfs:seeAlso <Tarvex.ttl> .\n";
  return t;
}

std::string AudioPort(int index, const char* direction, const char* symbol, const char* name)
{
  char text[512];
  snprintf(text, sizeof(text),
           "\t[\n\t\ta lv2:AudioPort , lv2:%sPort ;\n\t\tlv2:index %d ;\n\t\tlv2:symbol \"%s\" ;\n"
           "\t\tlv2:name \"%s\"\n\t]",
           direction, index, symbol, name);
  return text;
}

std::string Description(const IPlugBase& plug)
{
  std::string t;
  t += "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n";
  t += "@prefix doap: <http://usefulinc.com/ns/doap#> .\n";
  t += "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n";
  t += "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n";
  t += "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n";
  t += "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n";
  t += "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n";
  t += "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n";
  t += "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n";
  t += "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n";
  t += "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n";
  t += std::string("@prefix tarvex: <") + kTarvexLv2URI + "#> .\n\n";

  t += "tarvex:decibelsPerOctave\n\ta units:Unit ;\n\trdfs:label \"decibels per octave\" ;\n"
       "\tunits:symbol \"dB/oct\" ;\n\tunits:render \"%f dB/oct\" .\n\n";
  t += "tarvex:times\n\ta units:Unit ;\n\trdfs:label \"times\" ;\n\tunits:symbol \"x\" ;\n"
       "\tunits:render \"%fx\" .\n\n";

  const int version = plug.VersionNumber(false);
  char versionText[128];
  snprintf(versionText, sizeof(versionText), "\tlv2:minorVersion %d ;\n\tlv2:microVersion %d ;\n",
           (version >> 8) & 0xff, version & 0xff);

  t += std::string("<") + kTarvexLv2URI + ">\n";
  t += "\ta lv2:Plugin , lv2:EQPlugin , doap:Project ;\n";
  t += "\tdoap:name " + Quoted(plug.GetEffectName()) + " ;\n";
  t += "\tdoap:maintainer [\n\t\ta foaf:Person ;\n\t\tfoaf:name " + Quoted(plug.GetMakerName()) +
       "\n\t] ;\n";
  t += versionText;
  t += "\tlv2:optionalFeature opts:options , urid:map ;\n";
  t += "\topts:supportedOption bufsz:maxBlockLength ;\n";
  t += "\tlv2:extensionData state:interface ;\n";
  t += std::string("\tui:ui <") + kTarvexLv2UiURI + "> ;\n";
  t += "\tlv2:port\n";
  t += AudioPort(kLv2PortAudioInL, "Input", "in_l", "Input L") + " , \n";
  t += AudioPort(kLv2PortAudioInR, "Input", "in_r", "Input R") + " , \n";
  t += AudioPort(kLv2PortAudioOutL, "Output", "out_l", "Output L") + " , \n";
  t += AudioPort(kLv2PortAudioOutR, "Output", "out_r", "Output R");

  for (int i = 0; i < plug.NParams(); ++i)
  {
    const IParam* p = plug.GetParam(i);
    char symbol[IParam::kTextLength];
    Lv2PortSymbol(p->NameText(), symbol, sizeof(symbol));
    t += " , \n\t[\n\t\ta lv2:InputPort , lv2:ControlPort ;\n";
    t += "\t\tlv2:index " + std::to_string(kLv2PortFirstParam + i) + " ;\n";
    t += std::string("\t\tlv2:symbol \"") + symbol + "\" ;\n";
    t += "\t\tlv2:name " + Quoted(p->NameText()) + " ;\n";
    t += "\t\tlv2:default " + Number(p->mValue) + " ;\n";
    t += "\t\tlv2:minimum " + Number(p->mMin) + " ;\n";
    t += "\t\tlv2:maximum " + Number(p->mMax);
    if (p->mType == IParam::kTypeBool)
      t += " ;\n\t\tlv2:portProperty lv2:toggled";
    else if (p->mType == IParam::kTypeInt || p->mType == IParam::kTypeEnum)
      t += " ;\n\t\tlv2:portProperty lv2:integer";
    const std::string unit = UnitFor(p->LabelText());
    if (!unit.empty()) t += " ;\n\t\tunits:unit " + unit;
    t += "\n\t]";
  }
  t += " , \n\t[\n\t\ta lv2:OutputPort , lv2:ControlPort ;\n";
  t += "\t\tlv2:index " + std::to_string(Lv2LatencyPort(plug.NParams())) + " ;\n";
  t += "\t\tlv2:symbol \"latency\" ;\n\t\tlv2:name \"Latency\" ;\n";
  t += "\t\tlv2:designation lv2:latency ;\n";
  t += "\t\tlv2:portProperty lv2:reportsLatency , lv2:integer ;\n";
  t += "\t\tlv2:minimum 0 ;\n\t\tlv2:maximum 1048576 ;\n\t\tunits:unit units:frame\n\t] .\n\n";

  t += std::string("<") + kTarvexLv2UiURI + ">\n";
  t += "\ta ui:X11UI ;\n";
  t += "\tlv2:requiredFeature ui:parent ;\n";
  t += "\tlv2:optionalFeature ui:idleInterface , ui:resize , ui:touch , opts:options , "
       "urid:map , <http://lv2plug.in/ns/ext/instance-access> ;\n";
  t += "\topts:supportedOption ui:scaleFactor ;\n";
  t += "\tlv2:extensionData ui:idleInterface .\n";
  return t;
}

bool WriteFile(const std::string& path, const std::string& text)
{
  const std::string partial = path + ".partial";
  FILE* f = fopen(partial.c_str(), "wb");
  if (!f) return false;
  const bool written = fwrite(text.data(), 1, text.size(), f) == text.size();
  const bool closed = fclose(f) == 0;
  if (!written || !closed || rename(partial.c_str(), path.c_str()) != 0)
  {
    remove(partial.c_str());
    return false;
  }
  return true;
}
} // namespace

int main(int argc, char** argv)
{
  if (argc != 3)
  {
    fprintf(stderr, "usage: tarvex-lv2-ttl <bundle folder> <binary file name>\n");
    return 1;
  }
  TarvexParamTable plug;
  const std::string folder = argv[1];
  if (!WriteFile(folder + "/manifest.ttl", Manifest(argv[2])) ||
      !WriteFile(folder + "/Tarvex.ttl", Description(plug)))
  {
    fprintf(stderr, "tarvex-lv2-ttl: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
