// CBaseCmp: the component base that every vendor component derives from. It
// owns the run's logger, adapter-record list, reference set, discovery record
// and self-discovery path, parses the command line and drives the run from
// "reference.xml" to the process exit code.
//
// Vendor behaviour is reached only through the virtual operations; the base
// versions make a component that enumerates adapters, discovers no device and
// flashes nothing. Run outcome codes (core/run_codes.h): 1 the flash tool
// succeeded, 3 nothing was flashed, 7 failure, anything else a vendor tool
// code passed through. RunProgram (core/run_program.h) is how main drives it.
#ifndef ZRN_CORE_BASE_CMP_H_
#define ZRN_CORE_BASE_CMP_H_

#include <string>

#include "core/log.h"
#include "core/records.h"
#include "hba/adapter_list.h"

class CBaseCmp {
 public:
  // Creates the log directory and file (through the logger) before anything
  // else; the option flags start cleared.
  CBaseCmp();
  virtual ~CBaseCmp();
  CBaseCmp(const CBaseCmp&) = delete;
  CBaseCmp& operator=(const CBaseCmp&) = delete;

  // Enumerates the adapters, fills the discovery header and calls
  // DiscoverDevices. False (after "WARNING! : No supported adapters found.\n")
  // when no adapter was found.
  virtual bool Discover();
  // The installed version in the form the references use; the base keeps it.
  virtual std::wstring NormalizeVersion(std::wstring version);
  // Appends a DiscoveredDevice per supported adapter; the base finds none.
  virtual void DiscoverDevices();
  // Makes the vendor's flash kit ready; 0 when ready.
  virtual int PrepareKit();
  // Runs the vendor's flash tool once and returns the run's exit code.
  virtual int Flash();
  // Writes m_discoveryInfo to m_outputPath; false when the document could
  // not be built or saved.
  virtual bool WriteDiscoveryXml();
  // Index of the first reference whose device_id equals id ignoring case,
  // -1 for none.
  virtual int FindReference(std::wstring id);

  // Examines every argument in order, the program name included. Returns
  // kParseHelp after showing the usage text for "/h", kParseFailed after
  // showing it for a trailing "/d", otherwise kParseRun. The path after "/d"
  // is examined in its own turn.
  [[nodiscard]] int ParseCommandLine(int argc, const char* const* argv);
  // Writes the six usage lines straight to standard output, never to the log.
  void Usage();
  // The run after a successful parse; returns the process exit code.
  [[nodiscard]] int Run();

  // The identity of adapter record `index`: its PCI vendor/device and
  // subsystem texts ("N/A" parts left out) with a "." after every four
  // digits, widened byte by byte. "" for an index outside the list.
  [[nodiscard]] std::wstring GetAdapterId(int index);
  // 1 when some item's action is "upgrade", else 4 for "downgrade", else 2
  // for "rewrite", else 0.
  [[nodiscard]] int SummarizeActions();
  // True when discovery recorded at least one device.
  [[nodiscard]] bool HasDevices();

  // Records the operating-system tag in m_discoveryInfo.os; always 0.
  int DetectOS();
  // 0 when the dotted versions are equal, 1 when the first (packaged) one is
  // newer, -1 when it is older; never another value. Takes memory for the
  // longest token, whatever the number of tokens.
  [[nodiscard]] int CompareVersions(const std::wstring& packaged, const std::wstring& installed);
  // The text with every character passed through towupper.
  [[nodiscard]] std::wstring ToUpper(std::wstring text);

 protected:
  CLog m_log;
  bool m_silent;
  bool m_discover;
  bool m_force;
  FcHbaAdapterList m_adapterList;
  ReferenceSet m_referenceSet;
  DiscoveryInfo m_discoveryInfo;
  std::string m_outputPath;
};

#endif  // ZRN_CORE_BASE_CMP_H_
