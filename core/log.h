// CLog: the component's logger. Each message goes to the console (unless the
// logger is silent) and is appended to the component log
// "/var/zrn/Component.log", exactly as passed in: no newline, timestamp or
// level is added, so a progress text and its "done.\n" share one line.
//
// The log file is opened and closed anew for every message, so output that a
// flash tool appends to the same file in between stays in time order. All
// console output uses the narrow standard-output stream, also for integers and
// wide text: a stream that has taken wide output refuses narrow output (and
// the other way round), which would lose text.
#ifndef ZRN_CORE_LOG_H_
#define ZRN_CORE_LOG_H_

#include <string>

class CLog {
 public:
  // Creates "/var/zrn" and the log file through the shell, ignoring failures.
  CLog();

  // While silent, messages only reach the log file.
  void SetSilent(bool silent);

  // Writes the text to the console unless silent, then appends it to the log
  // file. When the file cannot be opened, written or closed (a full /var),
  // prints "ERROR : Unable to write to log file" and a newline on standard
  // output, even while silent.
  CLog& Log(const std::string& text);
  // The same for the value's decimal text.
  CLog& Log(int value);
  // The same for wide text, converted to multibyte text in the current locale
  // (a character that does not convert becomes "?").
  CLog& Log(const std::wstring& text);

 private:
  std::string m_path;
  bool m_silent;
};

#endif  // ZRN_CORE_LOG_H_
