// Writes stand-in scenario files from their structs (formats in
// fchba_standin.h) and reads the stand-ins' trace back.
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tests/standin/fchba_standin.h"
#include "tests/standin/standin_fields.h"

namespace {

// Every byte that could be lost or misread in a line (blanks included, so
// trailing ones survive) as \xHH.
std::string Escape(const char* data, size_t length) {
  std::string out;
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(data[i]);
    if (c <= 0x20 || c > 0x7e || c == '\\') {
      char escaped[5];
      std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string Hex(const unsigned char* bytes, size_t size) {
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", bytes[i]);
    out += pair;
  }
  return out;
}

// One line per field that is not zero or empty: the library starts from a
// zero record.
template <size_t N>
void WriteFields(std::ostringstream& out, const StandinField (&fields)[N], const void* record) {
  for (const StandinField& field : fields) {
    const char* at = static_cast<const char*>(record) + field.offset;
    switch (field.kind) {
      case StandinField::kText: {
        const size_t length = strnlen(at, field.size);
        if (length > 0) out << field.key << ' ' << Escape(at, length) << '\n';
        break;
      }
      case StandinField::kU32: {
        uint32_t value;
        std::memcpy(&value, at, sizeof value);
        if (value != 0) out << field.key << ' ' << value << '\n';
        break;
      }
      case StandinField::kI64: {
        int64_t value;
        std::memcpy(&value, at, sizeof value);
        if (value != 0) out << field.key << ' ' << value << '\n';
        break;
      }
      case StandinField::kBytes: {
        const auto* bytes = reinterpret_cast<const unsigned char*>(at);
        bool zero = true;
        for (size_t i = 0; i < field.size; ++i) zero = zero && bytes[i] == 0;
        if (!zero) out << field.key << ' ' << Hex(bytes, field.size) << '\n';
        break;
      }
    }
  }
}

}  // namespace

std::string StandinScenario(const StandinLibrary& library) {
  std::ostringstream out;
  out << "register " << library.register_status << '\n';
  out << "version " << library.version << '\n';
  out << "load " << library.load_status << '\n';
  out << "passthru_status " << library.passthru_status << '\n';
  for (const std::string& entry : library.missing) out << "missing " << entry << '\n';
  if (library.count) out << "count " << *library.count << '\n';
  if (library.spill != 0) out << "spill " << library.spill << '\n';
  for (const StandinAdapter& adapter : library.adapters) {
    out << "adapter " << Escape(adapter.name.data(), adapter.name.size()) << '\n';
    out << "name_status " << adapter.name_status << '\n';
    if (adapter.handle) out << "handle " << *adapter.handle << '\n';
    out << "attributes_status " << adapter.attributes_status << '\n';
    WriteFields(out, kStandinAdapterFields, &adapter.attributes);
    out << "ext_status " << adapter.ext_status << '\n';
    out << "ext_subsystem " << adapter.ext_subsystem << '\n';
    out << "ext_bus " << unsigned{adapter.ext_bus} << '\n';
    out << "ext_function " << unsigned{adapter.ext_function} << '\n';
    out << "ext_domain " << unsigned{adapter.ext_domain} << '\n';
    if (adapter.ext_NodeWWN) {
      out << "ext_NodeWWN " << Hex(adapter.ext_NodeWWN->wwn, sizeof adapter.ext_NodeWWN->wwn)
          << '\n';
    }
    if (adapter.ext_write_size != 0) out << "ext_write_size " << adapter.ext_write_size << '\n';
    if (adapter.name_overrun) out << "name_overrun 1\n";
    if (adapter.unlisted_ports_read) out << "unlisted_ports_read 1\n";
    for (const StandinPort& port : adapter.ports) {
      out << "port\n";
      out << "attributes_status " << port.attributes_status << '\n';
      out << "statistics_status " << port.statistics_status << '\n';
      WriteFields(out, kStandinPortFields, &port.attributes);
      WriteFields(out, kStandinStatisticsFields, &port.statistics);
    }
  }
  return out.str();
}

StandinAdapter SampleStandinAdapter(const std::string& name, uint8_t id, unsigned ports) {
  StandinAdapter adapter;
  adapter.name = name;
  HBA_ADAPTERATTRIBUTES& a = adapter.attributes;
  const std::string number = std::to_string(unsigned{id});
  SetStandinText(a.Manufacturer, "Standin");
  SetStandinText(a.SerialNumber, "SN" + number);
  SetStandinText(a.Model, "SA-" + number);
  SetStandinText(a.ModelDescription, "Stand-in adapter " + number);
  a.NodeWWN = HBA_WWN{{0x20, 0, 0, 0, 0, 0, 0, id}};
  SetStandinText(a.NodeSymbolicName, name);
  SetStandinText(a.HardwareVersion, "1." + number);
  SetStandinText(a.DriverVersion, "1." + number);
  SetStandinText(a.OptionROMVersion, "1." + number);
  SetStandinText(a.FirmwareVersion, "1." + number);
  a.NumberOfPorts = ports;
  SetStandinText(a.DriverName, "standin");
  for (unsigned p = 0; p < ports; ++p) {
    StandinPort port;
    port.attributes.NodeWWN = a.NodeWWN;
    port.attributes.PortWWN = HBA_WWN{{0x21, 0, 0, 0, 0, 0, static_cast<uint8_t>(p), id}};
    port.attributes.PortType = 5;
    port.attributes.PortState = 2;
    SetStandinText(port.attributes.PortSymbolicName, name + " port " + std::to_string(p));
    SetStandinText(port.attributes.OSDeviceName, "/dev/standin" + number + "_" + std::to_string(p));
    port.attributes.PortSupportedSpeed = 0x8;
    port.attributes.PortSpeed = 0x8;
    port.attributes.PortMaxFrameSize = 2048;
    port.statistics.SecondsSinceLastReset = 100 + p;
    adapter.ports.push_back(port);
  }
  return adapter;
}

std::vector<std::string> SplitStandinTrace(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> ReadStandinTrace(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return SplitStandinTrace(text.str());
}
