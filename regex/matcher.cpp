#include "regex/matcher.h"

#include <climits>

#include "regex/pattern.h"

template <class C>
BasicMatcher<C>::BasicMatcher(const BasicPattern<C>* p, const String& t)
    : pattern(p),
      text(t),
      lastMatchEnd(0),
      groupCount(p->groupCount),
      nonCapCount(-p->nonCapCount),
      matched(0),
      mode(0),
      finished(false),
      stackBase(nullptr),
      overflow(false),
      steps(0),
      memoStartAt(LONG_MAX),
      memoAfterSteps(kMemoAfterSteps),
      memoOn(false),
      memoAllowed(p->memoizable),
      answeredFromMemo(false),
      peak(0),
      memoBase(0),
      memoCount(0) {
  const size_t size = static_cast<size_t>(groupCount + nonCapCount);
  // Every slot starts defined: capturing bounds 0 (a fresh matcher reports
  // 0 for them), non-capturing bounds -1, loop state as a prologue sets it.
  int* store = inlineStore;
  if (size > kInlineSlots) {
    heapStore.resize(5 * size);
    store = heapStore.data();
  }
  for (size_t i = 0; i < 5 * size; ++i) store[i] = -1;
  int* base = store + nonCapCount;
  starts = base;
  ends = base + size;
  loopCounts = base + 2 * size;
  loopPositions = base + 3 * size;
  loopSnapshots = base + 4 * size;
  for (size_t i = 0; i < size; ++i) {
    store[2 * size + i] = 0;
    store[4 * size + i] = 0;
  }
  for (int i = 0; i < groupCount; ++i) starts[i] = ends[i] = 0;
}

template <class C>
BasicMatcher<C>::~BasicMatcher() = default;

template <class C>
void BasicMatcher<C>::setText(const String& t) {
  text = t;
  reset();
}

template <class C>
void BasicMatcher<C>::reset() {
  lastMatchEnd = 0;
  clearGroups();
  matched = 0;
  finished = false;
}

template <class C>
void BasicMatcher<C>::clearGroups() {
  lastMatchEnd = 0;
  for (int i = -nonCapCount; i < groupCount; ++i) {
    starts[i] = -1;
    ends[i] = -1;
    loopCounts[i] = -1;
  }
}

template <class C>
void BasicMatcher<C>::beginOperation(int start) {
  stackBase = static_cast<const char*>(__builtin_frame_address(0));
  overflow = false;
  steps = 0;
  peak = 0;
  memoOn = false;
  answeredFromMemo = false;
  memoBase = start;
  memoStartAt = memoAllowed ? memoAfterSteps : LONG_MAX;
}

template <class C>
void BasicMatcher<C>::startMemo() {
  if (memoOn) return;
  memoStartAt = LONG_MAX;
  const int len = static_cast<int>(text.size());
  memoCount = static_cast<size_t>(len - (memoBase < len ? memoBase : len)) + 1;
  const size_t sets = static_cast<size_t>(pattern->memoSlots + pattern->runSlots);
  if (sets == 0 || sets * PositionSet::bytesFor(memoCount) > kMaxMemoBytes) return;
  // Sets of an earlier operation say nothing about this one; each is made
  // anew the first time this one puts something into it.
  failures.resize(static_cast<size_t>(pattern->memoSlots));
  failureLive.assign(static_cast<size_t>(pattern->memoSlots), 0);
  failureDepth.assign(static_cast<size_t>(pattern->memoSlots), 0);
  runs.resize(static_cast<size_t>(pattern->runSlots));
  runLive.assign(static_cast<size_t>(pattern->runSlots), 0);
  memoOn = true;
  memoStartAt = LONG_MIN;
}

template <class C>
void BasicMatcher<C>::recordFailure(int slot, int pos, long extra) {
  const size_t i = static_cast<size_t>(slot);
  if (!failureLive[i]) {
    failures[i].reset(memoBase, memoCount);
    failureLive[i] = 1;
  }
  failures[i].insert(pos);
  if (extra > failureDepth[i]) failureDepth[i] = extra;
}

template <class C>
PositionSet& BasicMatcher<C>::runSet(int slot) {
  const size_t i = static_cast<size_t>(slot);
  if (!runLive[i]) {
    runs[i].reset(memoBase, memoCount);
    runLive[i] = 1;
  }
  return runs[i];
}

template <class C>
void BasicMatcher<C>::clearAfterFailure() {
  for (int i = -nonCapCount; i < groupCount; ++i) {
    if (i != 0) starts[i] = -1;
    ends[i] = -1;
  }
}

template <class C>
int BasicMatcher<C>::runHead(int pos) {
  int r = pattern->head->match(text, *this, pos);
  // An attempt cut short by the depth bound is no match, whatever the
  // backtracking made of it on the way out.
  return overflow ? -1 : r;
}

template <class C>
bool BasicMatcher<C>::matches() {
  beginOperation(0);
  mode = MATCH_WHOLE_TEXT;
  matched = 0;
  finished = false;
  clearGroups();
  lastMatchEnd = 0;
  int r = runHead(0);
  if (r != static_cast<int>(text.size())) {
    clearAfterFailure();
    return false;
  }
  return true;
}

template <class C>
bool BasicMatcher<C>::findFirst() {
  beginOperation(0);
  mode = 0;
  clearGroups();
  lastMatchEnd = 0;
  int r = runHead(0);
  ends[0] = r;
  if (r < 0) {
    clearAfterFailure();
    finished = true;
    return false;
  }
  matched = 1;
  finished = false;
  return true;
}

template <class C>
bool BasicMatcher<C>::findNext() {
  if (finished) return false;
  if (matched == 0) return findFirst();
  int start = starts[0];
  int end = ends[0];
  if (start < 0 || end < 0) {
    clearAfterFailure();
    finished = true;
    return false;
  }
  int newStart = start == end ? end + 1 : end;
  beginOperation(newStart);
  mode = 0;
  clearGroups();
  starts[0] = newStart;
  if (newStart >= static_cast<int>(text.size())) {
    finished = true;
    return false;
  }
  lastMatchEnd = newStart;
  int r = runHead(newStart);
  ends[0] = r;
  if (r < 0) {
    clearAfterFailure();
    finished = true;
    return false;
  }
  return true;
}

template <class C>
int BasicMatcher<C>::groupStart(int i) const {
  if (i < 0 || i >= groupCount) return -1;
  return starts[i];
}

template <class C>
int BasicMatcher<C>::groupEnd(int i) const {
  if (i < 0 || i >= groupCount) return -1;
  return ends[i];
}

template <class C>
typename BasicMatcher<C>::String BasicMatcher<C>::group(int i) const {
  if (i < 0 || i >= groupCount) return String();
  int s = starts[i];
  int e = ends[i];
  if (s < 0 || e < 0 || e < s || e > static_cast<int>(text.size())) return String();
  return text.substr(static_cast<size_t>(s), static_cast<size_t>(e - s));
}

template <class C>
std::vector<typename BasicMatcher<C>::String> BasicMatcher<C>::groups(bool includeWhole) const {
  std::vector<String> out;
  for (int i = includeWhole ? 0 : 1; i < groupCount; ++i) out.push_back(group(i));
  return out;
}

template <class C>
std::vector<typename BasicMatcher<C>::String> BasicMatcher<C>::findAll() {
  std::vector<String> out;
  reset();
  while (findNext()) out.push_back(group(0));
  return out;
}

template <class C>
typename BasicMatcher<C>::String BasicMatcher<C>::expandReplacement(
    const String& replacement) const {
  String out;
  size_t i = 0;
  size_t n = replacement.size();
  while (i < n) {
    C c = replacement[i++];
    if (c != C('\\')) {
      out += c;
      continue;
    }
    if (i >= n) {
      out += C('\\');
      break;
    }
    C d = replacement[i];
    if (d < C('0') || d > C('9')) {
      out += d;
      ++i;
      continue;
    }
    // Every digit belongs to the number; a number past any group count
    // saturates instead of overflowing and expands to nothing.
    int number = 0;
    while (i < n && replacement[i] >= C('0') && replacement[i] <= C('9')) {
      int digit = static_cast<int>(replacement[i] - C('0'));
      number = number > (INT_MAX - digit) / 10 ? INT_MAX : number * 10 + digit;
      ++i;
    }
    out += group(number);
  }
  return out;
}

template class BasicMatcher<char>;
template class BasicMatcher<wchar_t>;
