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
//
// Nothing is ever written through a link at the log's path. "/var/zrn" must
// be a real directory of ours that nobody else may write to (so nobody else
// can put anything at the log's path); a symbolic link there is removed
// (the name only, never what it leads to), and a second name of another file
// or someone else's file there is moved aside to
// "/var/zrn/Component.log.foreign.N" (the first N from 1 whose name is not
// taken), keeping its text; the log is then created anew in its place. When
// no log of ours can be had there (a directory or a FIFO at the path, a
// foreign file that cannot be moved aside, a "/var/zrn" that is a link, or
// one of someone else's), the log cannot be
// written: every message is followed by the error line, as for a full disk.
#ifndef ZRN_CORE_LOG_H_
#define ZRN_CORE_LOG_H_

#include <string>

class CLog {
 public:
  // Creates "/var/zrn" (0755) and the log file (0644), less what the
  // file-creation mask takes away, when missing, and
  // takes away the group's and others' write permission from both when an
  // earlier run left them writable. Failures are not reported here: the
  // messages report them.
  CLog();

  // While silent, messages only reach the log file.
  void SetSilent(bool silent);

  // Writes the text to the console unless silent, then appends it to the log
  // file. When the file cannot be opened, written or closed (a full /var, a
  // log path that holds no file of ours), prints "ERROR : Unable to write to
  // log file" and a newline on standard output, even while silent.
  CLog& Log(const std::string& text);
  // The same for the value's decimal text.
  CLog& Log(int value);
  // The same for wide text, converted to multibyte text in the current locale
  // (a character that does not convert becomes "?").
  CLog& Log(const std::wstring& text);

  // Right before a command appends to the log by its path: makes the path
  // hold the log itself (a link there removed, the file created when
  // missing). False when it cannot; the command must then not run, since its
  // output would go wherever the path leads.
  [[nodiscard]] bool ReadyForAppend() const;

 private:
  std::string m_path;
  bool m_silent;
};

#endif  // ZRN_CORE_LOG_H_
