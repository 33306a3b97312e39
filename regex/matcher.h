// Matcher: the state of matching one pattern against one text.
//
// It holds its own copy of the text, the bounds of every group, the state of
// every quantified group and the mode that tells the start and end nodes
// whether the whole text must match. It refers to its pattern without owning
// it and must not outlive it. Not thread-safe; one caller at a time.
#ifndef ZRN_REGEX_MATCHER_H_
#define ZRN_REGEX_MATCHER_H_

#include <string>
#include <vector>

template <class CharT>
class BasicPattern;
template <class CharT>
class BasicNFANode;
template <class CharT>
class BasicNFAGreedyQuantifierNode;
template <class CharT>
struct PatternInternals;

template <class CharT>
class BasicMatcher {
 public:
  using String = std::basic_string<CharT>;

  // Mode bit: the start node tries position 0 only and the end node succeeds
  // only at the end of the text.
  static constexpr unsigned long MATCH_WHOLE_TEXT = 1;

  // Bound on the stack that one match operation may use. Every node of an
  // attempt that does not only pass the position on, and every iteration of
  // a group loop or alternative, adds a nested call; an attempt that would
  // use more stack than this fails, and the whole operation then reports no
  // match (never a shorter, false success). Half the usual 8 MiB main stack,
  // counted in bytes, so the bound holds whatever the frames of a build
  // weigh. Repetitions of a single atom and runs of plain characters need no
  // stack per character. A group loop still costs a few calls per
  // iteration; measured, the longest texts that still whole-match are about
  // 15,000 characters for "(a|b)*" and 47,000 for "(?:ab)*" in an optimised
  // (Release) build, and about 10,000 and 29,000 in the RelWithDebInfo build
  // under AddressSanitizer and UndefinedBehaviorSanitizer, in both widths.
  // A longer text reports no match.
  static constexpr long kMaxStackBytes = 4L << 20;

  // Failure memo. A greedy repetition of one character or class tries the
  // rest of the pattern at every position its run reached, from the last one
  // down; nested repetitions (".*a.*b.*c") thus try the same position from
  // the same node again and again, which costs time polynomial in the
  // length of the text. Where the outcome of "the rest of the pattern from
  // node N at position p" depends on N and p alone, a failure there stays a
  // failure for the rest of the operation, so each such repetition keeps the
  // range of positions at which the rest after it is known to fail, and its
  // later tries step over that range.
  //
  // Exact because it serves only patterns without back references,
  // quantified groups, look-ahead, atomic groups and "\G": every other node
  // reads nothing but the text, the position and the operation's mode, and
  // an attempt through them that fails puts back every group bound it
  // changed, so skipping one changes nothing a caller can see (the groups
  // after a success are those of the successful path; the start position of
  // a search does not enter the rest of a match). The nodes left out keep
  // state across an attempt: a failed look-ahead or atomic body leaves the
  // bounds it recorded, a loop's count and a group's text travel with the
  // match, and "\G" holds where the search began. The memo lives for one
  // match operation; matches, findFirst and findNext each start without it.
  // The depth bound is kept exact too: a range serves a repetition only
  // where its frame lies no deeper in the stack than the tries that failed
  // there, since the same rest tried from deeper down may hit the bound
  // (which ends the operation with no match) where the first try did not.
  // A pattern without alternatives reaches each repetition at one depth.
  //
  // Memory: one range of positions (two ints and a stack address) per
  // greedy repetition of the pattern, whatever the length of the text; a
  // repetition keeps one range, the union of the ranges that overlap or
  // touch, else the latest. Nothing
  // is kept or allocated until the repetitions of an operation have failed
  // at more than kMemoAfterSteps positions, far more than a release file, a
  // version token or a query line of the usual kind ever needs.
  //
  // Cost: the rest after a repetition is tried at most once per position
  // when the repetition's tries land inside or next to the range it holds.
  // That is so for the Emulex line pattern: its ".*" and ".+" (with DOT_ANY)
  // always run to the end of the line, its "\w{1,4}" tries at most four
  // positions, and "[\w\.]+" starts only after "Boot Code=", so its runs do
  // not overlap. Every line of the query output, of any shape, is thus
  // decided in time proportional to its length (measured: about 35 ms for a
  // line of 1 MiB in a Release build), and with a stack that does not grow
  // with the line. Lazy repetitions and repetitions of longer atoms keep no
  // memo.
  static constexpr long kMemoAfterSteps = 1L << 14;

  // A matcher for pattern and a copy of text. Every capturing slot reports
  // start 0 and end 0 until the first match operation.
  BasicMatcher(const BasicPattern<CharT>* pattern, const String& text);
  BasicMatcher(const BasicMatcher&) = delete;
  BasicMatcher& operator=(const BasicMatcher&) = delete;
  ~BasicMatcher();

  // Replaces the text and resets.
  void setText(const String& text);
  // Forgets every previous search: the next findNext starts at position 0.
  void reset();
  // All group bounds and loop counters to -1, lastMatchEnd to 0.
  void clearGroups();

  // True when the pattern covers the whole text; the groups then hold what
  // each group took.
  bool matches();
  // Searches from position 0.
  bool findFirst();
  // The next match after the previous one (an empty match steps one further);
  // starts with findFirst on a fresh matcher or after matches(). Once it has
  // returned false it keeps returning false until reset, setText, findFirst
  // or matches.
  bool findNext();

  // Text of group i; empty for a group that does not exist or is unset.
  String group(int i) const;
  // Bounds of group i; -1 for a group that does not exist.
  int groupStart(int i) const;
  int groupEnd(int i) const;
  // group(i) for every group from 0 (includeWhole) or 1 up.
  std::vector<String> groups(bool includeWhole) const;
  // Group 0 of every successive match, from the start of the text.
  std::vector<String> findAll();
  // The replacement with "\N" turned into group N and "\c" into c.
  String expandReplacement(const String& replacement) const;

  String getText() const { return text; }
  unsigned long getMode() const { return mode; }

 private:
  friend class BasicNFANode<CharT>;
  // The greedy repetition keeps its failure memo here.
  friend class BasicNFAGreedyQuantifierNode<CharT>;
  friend struct PatternInternals<CharT>;

  // Starts one match operation: no depth used, no overflow seen.
  void beginOperation();
  // After a failed operation every group reads as the empty string: group 0's
  // end is -1 and every other group is unset; group 0's start stays.
  void clearAfterFailure();
  int runHead(int pos);
  // The failure memo (see kMemoAfterSteps). A range with low > high is empty.
  // frame is the highest (shallowest) stack address of the repetition's
  // frame among the tries that failed there.
  struct FailedRange {
    int low;
    int high;
    const char* frame;
  };
  // Positions of memo slot `slot` known to fail in this operation, for a
  // repetition whose frame lies at `frame`. Inline, as the next one: an
  // operation that never starts the memo pays one test a repetition, and
  // one more a repetition that fails.
  FailedRange knownFailures(int slot, const char* frame) const {
    if (!memoOn) return FailedRange{1, 0, nullptr};
    const FailedRange& known = failedRanges[static_cast<size_t>(slot)];
    // Tried deeper in the stack than when they failed, the same positions
    // might hit the depth bound, which ends the operation with no match:
    // they are tried again.
    return frame >= known.frame ? known : FailedRange{1, 0, nullptr};
  }
  // Every position from low to high of slot `slot`, tried from a frame at
  // `frame`, failed. Counts them as tried and starts the memo once more
  // than memoAfterSteps were.
  void recordFailures(int slot, int low, int high, const char* frame) {
    if (!memoOn) {
      if (!memoAllowed) return;
      memoSteps += high - low + 1;
      if (memoSteps <= memoAfterSteps) return;
      startMemo();
    }
    addFailedRange(slot, {low, high, frame});
  }
  void startMemo();
  void addFailedRange(int slot, FailedRange failed);

  const BasicPattern<CharT>* pattern;
  String text;
  // Each array holds groupCount + nonCapCount values and is addressed by group
  // index from -nonCapCount to groupCount - 1 through the shifted pointers.
  // The five arrays lie one after the other in one block: inside the
  // matcher for patterns with few groups, else on the heap.
  static constexpr size_t kInlineSlots = 8;
  int inlineStore[5 * kInlineSlots];
  std::vector<int> heapStore;
  int* starts;
  int* ends;
  int* loopCounts;
  int* loopPositions;
  int* loopSnapshots;
  int lastMatchEnd;
  int groupCount;
  int nonCapCount;
  int matched;
  unsigned long mode;
  // Set when a search has failed: findNext then returns false without
  // searching, so it never starts at a negative position or past the end.
  bool finished;
  // Stack address at the start of the current operation, and whether an
  // attempt hit kMaxStackBytes (every further node call then fails at once).
  const char* stackBase;
  bool overflow;
  // Values that nodes save while an attempt runs and put back when it fails
  // (see BasicNFAOrNode); empty between operations.
  std::vector<int> scratch;
  // The failure memo: positions at which repetitions failed so far in this
  // operation, whether the memo is on, and one range per memo slot of the
  // pattern (valid while on).
  // memoAfterSteps is kMemoAfterSteps; the engine's own tests change it to
  // compare results with the memo always on and never on.
  long memoSteps;
  long memoAfterSteps;
  bool memoOn;
  // The pattern lets the memo serve (BasicPattern::memoizable).
  bool memoAllowed;
  std::vector<FailedRange> failedRanges;
};

using Matcher = BasicMatcher<char>;
using WideMatcher = BasicMatcher<wchar_t>;

#endif  // ZRN_REGEX_MATCHER_H_
