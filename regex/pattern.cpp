// Pattern interface: ownership, the process-wide tables, and the instance
// and static operations built on the internal matcher.
#include "regex/pattern.h"

#include <climits>
#include <cstdlib>
#include <memory>
#include <new>

template <class C>
std::map<typename BasicPattern<C>::String, BasicPattern<C>*> BasicPattern<C>::patternCache;
template <class C>
std::map<typename BasicPattern<C>::String,
         std::pair<typename BasicPattern<C>::String, unsigned long>>
    BasicPattern<C>::registeredPatterns;

template <class C>
BasicPattern<C>::BasicPattern(const String& text)
    : nodes(arenaResource()),
      matcher(nullptr),
      head(nullptr),
      pattern(text),
      error(false),
      cursor(0),
      groupCount(0),
      nonCapCount(0),
      flags(0),
      nesting(0),
      nestingTripped(false),
      laterAlternativeFollows(false),
      memoSlots(0),
      runSlots(0),
      memoizable(true),
      joins(arenaResource()),
      repetitions(nullptr) {}

template <class C>
BasicPattern<C>::~BasicPattern() {
  delete matcher;
  for (Node* node : nodes) delete node;
}

template <class C>
typename BasicPattern<C>::Node* BasicPattern<C>::registerNode(Node* node) {
  nodes.push_back(node);
  return node;
}

template <class C>
typename BasicPattern<C>::MatcherType* BasicPattern<C>::makeMatcher(const String& text) const {
  return new MatcherType(this, text);
}

template <class C>
bool BasicPattern<C>::matches(const String& text) {
  matcher->setText(text);
  return matcher->matches();
}

template <class C>
std::vector<typename BasicPattern<C>::String> BasicPattern<C>::findAll(const String& text) {
  matcher->setText(text);
  return matcher->findAll();
}

template <class C>
std::vector<typename BasicPattern<C>::String> BasicPattern<C>::split(const String& text,
                                                                     bool keepEmpty,
                                                                     unsigned long limit) {
  unsigned long cap = limit == 0 ? 2147483647UL : limit;
  std::vector<String> out;
  int previousEnd = 0;
  matcher->setText(text);
  while (matcher->findNext() && out.size() < cap) {
    int start = matcher->groupStart(0);
    int end = matcher->groupEnd(0);
    if (start == end && !keepEmpty) continue;
    if (start != previousEnd || keepEmpty) {
      out.push_back(
          text.substr(static_cast<size_t>(previousEnd), static_cast<size_t>(start - previousEnd)));
    }
    previousEnd = end;
  }
  if (previousEnd < static_cast<int>(text.size())) {
    out.push_back(text.substr(static_cast<size_t>(previousEnd)));
  }
  return out;
}

template <class C>
typename BasicPattern<C>::String BasicPattern<C>::replace(const String& text,
                                                          const String& replacement) {
  String out;
  int previousEnd = 0;
  matcher->setText(text);
  while (matcher->findNext()) {
    int start = matcher->groupStart(0);
    out.append(text, static_cast<size_t>(previousEnd), static_cast<size_t>(start - previousEnd));
    out += matcher->expandReplacement(replacement);
    previousEnd = matcher->groupEnd(0);
  }
  out.append(text, static_cast<size_t>(previousEnd), String::npos);
  return out;
}

namespace {

// The static forms: compile, hand the pattern to `use`, delete it; a pattern
// that does not compile (its report already printed) gives `fallback`.
template <class C, class R, class Use>
R WithCompiled(const std::basic_string<C>& pattern, unsigned long flags, R fallback, Use use) {
  std::unique_ptr<BasicPattern<C>> p(BasicPattern<C>::compile(pattern, flags));
  return p ? use(*p) : fallback;
}

}  // namespace

template <class C>
bool BasicPattern<C>::matches(const String& pattern, const String& text, unsigned long flags) {
  return WithCompiled(pattern, flags, false, [&](BasicPattern& p) { return p.matches(text); });
}

template <class C>
std::vector<typename BasicPattern<C>::String> BasicPattern<C>::findAll(const String& pattern,
                                                                       const String& text,
                                                                       unsigned long flags) {
  return WithCompiled(pattern, flags, std::vector<String>(),
                      [&](BasicPattern& p) { return p.findAll(text); });
}

template <class C>
std::vector<typename BasicPattern<C>::String> BasicPattern<C>::split(const String& pattern,
                                                                     const String& text,
                                                                     bool keepEmpty,
                                                                     unsigned long limit,
                                                                     unsigned long flags) {
  return WithCompiled(pattern, flags, std::vector<String>(),
                      [&](BasicPattern& p) { return p.split(text, keepEmpty, limit); });
}

template <class C>
typename BasicPattern<C>::String BasicPattern<C>::replace(const String& pattern, const String& text,
                                                          const String& replacement,
                                                          unsigned long flags) {
  return WithCompiled(pattern, flags, String(),
                      [&](BasicPattern& p) { return p.replace(text, replacement); });
}

template <class C>
std::pair<typename BasicPattern<C>::String, int> BasicPattern<C>::findNth(const String& pattern,
                                                                          const String& text, int n,
                                                                          unsigned long flags) {
  const std::pair<String, int> none(String(), -1);
  return WithCompiled(pattern, flags, none, [&](BasicPattern& p) {
    MatcherType& m = *p.matcher;
    m.setText(text);
    int counter = -1;
    while (counter < n && m.findNext()) ++counter;
    if (counter == n && m.groupStart(0) >= 0) return std::make_pair(m.group(0), m.groupStart(0));
    return none;
  });
}

template <class C>
bool BasicPattern<C>::registerName(const String& name, const String& pattern, unsigned long flags) {
  // The pattern is compiled only to try it; the registry keeps its text.
  return WithCompiled(pattern, flags, false, [&](BasicPattern&) {
    registeredPatterns[name] = std::make_pair(pattern, flags);
    return true;
  });
}

template <class C>
void BasicPattern<C>::clearNames() {
  registeredPatterns.clear();
}

template <class C>
BasicPattern<C>* BasicPattern<C>::compileCached(const String& pattern, unsigned long flags) {
  auto found = patternCache.find(pattern);
  if (found != patternCache.end()) return found->second;
  // Cached patterns are deleted at exit, before the cache itself goes: a
  // handler registered now runs before the (already built) table's destructor.
  static const bool cleanupRegistered = std::atexit([] { clearCache(); }) == 0;
  (void)cleanupRegistered;
  BasicPattern* p = compile(pattern, flags);
  patternCache[pattern] = p;
  return p;
}

template <class C>
void BasicPattern<C>::clearCache() {
  for (auto& entry : patternCache) delete entry.second;
  patternCache.clear();
}

template class BasicPattern<char>;
template class BasicPattern<wchar_t>;
