// Small helpers shared by the parser's source files; not part of the
// engine's interface.
#ifndef ZRN_REGEX_PARSER_SUPPORT_H_
#define ZRN_REGEX_PARSER_SUPPORT_H_

namespace zrn_regex_detail {

// Counts one level of parser nesting for as long as it lives.
class NestingGuard {
 public:
  explicit NestingGuard(int& nesting) : nesting_(nesting) { ++nesting_; }
  ~NestingGuard() { --nesting_; }
  NestingGuard(const NestingGuard&) = delete;
  NestingGuard& operator=(const NestingGuard&) = delete;

 private:
  int& nesting_;
};

}  // namespace zrn_regex_detail

#endif  // ZRN_REGEX_PARSER_SUPPORT_H_
