#include "core/log.h"

#include <climits>
#include <cwchar>
#include <fstream>
#include <iostream>

#include "core/run_command.h"

CLog::CLog() : m_path("/var/zrn/Component.log"), m_silent(false) {
  RunShell("mkdir -p /var/zrn");
  RunShell("touch /var/zrn/Component.log");
}

void CLog::SetSilent(bool silent) { m_silent = silent; }

CLog& CLog::Log(const std::string& text) {
  if (!m_silent) std::cout << text;
  std::ofstream file(m_path, std::ios::out | std::ios::app);
  bool written = file.is_open();
  if (written) {
    // The stream buffers: a full file system shows only when the text is
    // flushed on close, so both the write and the close are checked.
    file << text;
    file.close();
    written = !file.fail();
  }
  if (!written) std::cout << "ERROR : Unable to write to log file" << std::endl;
  return *this;
}

CLog& CLog::Log(int value) { return Log(std::to_string(value)); }

CLog& CLog::Log(const std::wstring& text) {
  std::string narrow;
  std::mbstate_t state{};
  char bytes[MB_LEN_MAX];
  for (wchar_t c : text) {
    size_t n = std::wcrtomb(bytes, c, &state);
    if (n == static_cast<size_t>(-1)) {
      narrow += '?';
      state = std::mbstate_t{};
    } else {
      narrow.append(bytes, n);
    }
  }
  return Log(narrow);
}
