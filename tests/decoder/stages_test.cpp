// The decoder's stages on small hand-made inputs whose results are worked out by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "swipe_synth.h"
#include "track2_decoder.h"

namespace {

using swipe::PeakRecord;
using swipe::Track2Decoder;

std::vector<unsigned char> Bytes(const std::vector<int>& samples) {
  std::vector<unsigned char> b;
  for (int s : samples) {
    const auto u = static_cast<unsigned>(s) & 0xFFFF;
    b.push_back(static_cast<unsigned char>(u & 0xFF));
    b.push_back(static_cast<unsigned char>(u >> 8));
  }
  return b;
}

// 40 quiet samples, then `pulses` placed at the given sample indices.
std::vector<int> Signal(std::initializer_list<std::pair<int, std::vector<int>>> pulses, int length = 120) {
  std::vector<int> s(static_cast<std::size_t>(length), 0);
  for (const auto& [at, values] : pulses) {
    for (std::size_t i = 0; i < values.size(); ++i) s[static_cast<std::size_t>(at) + i] = values[i];
  }
  return s;
}

std::string Describe(const std::vector<PeakRecord>& list) {
  std::string s;
  for (const PeakRecord& r : list) {
    s += "{" + std::to_string(r.position) + "," + std::to_string(r.amplitude) + "," +
         std::to_string(r.interval) + "} ";
  }
  return s;
}

// --- FindPeaks ------------------------------------------------------------------------------

struct PeakCase {
  const char* name;
  double fraction;
  std::vector<int> samples;
  std::vector<PeakRecord> expected;
};

TEST(FindPeaks, HandWorkedSignals) {
  const std::vector<int> negative = {-300, -900, -600, -100};  // recorded at -600, index 42
  const std::vector<PeakCase> cases = {
      {"silence", 0.05, Signal({}), {}},
      {"within the quiet band", 0.05, Signal({{40, {174, -174, 175, -175, 174}}}), {}},
      {"a single pulse is dropped with its interval from the buffer start", 0.05,
       Signal({{40, {300, 900, 600, 100}}}), {}},
      {"recorded at the first falling sample", 0.05,
       Signal({{40, negative}, {60, {300, 900, 600, 100}}}), {{62, 600, 20}}},
      {"a lower second crest leaves the record where it was", 0.05,
       Signal({{40, negative}, {60, {300, 900, 600, 850, 100}}}), {{62, 600, 20}}},
      {"a higher second crest moves the record", 0.05,
       Signal({{40, negative}, {60, {300, 900, 600, 950, 800, 100}}}), {{63, 950, 21}}},
      {"a deeper second trough moves the record", 0.05,
       Signal({{40, {300, 900, 600, 100}}, {60, {-300, -900, -600, -950, -800, -100}}}), {{63, -950, 21}}},
      {"a widened threshold hides a later weaker pulse", 0.5,
       Signal({{40, {1200, 1000}}, {50, {-1200, -1000}}, {60, {450, 400}}, {70, {1200, 1000}}}),
       {{51, -1000, 10}, {71, 1000, 20}}},
      {"the same weaker pulse is found at a low sensitivity", 0.05,
       Signal({{40, {1200, 1000}}, {50, {-1200, -1000}}, {60, {450, 400}}, {70, {1200, 1000}}}),
       {{51, -1000, 10}, {61, 400, 10}, {71, 1000, 10}}},
      {"a weak pulse between strong ones is filtered out, its interval carried on", 0.5,
       Signal({{40, {3000, 2000}}, {50, {-400, -300}}, {60, {-3000, -2000}}, {70, {3000, 2000}}}),
       {{61, -2000, 20}, {71, 2000, 10}}},
  };
  Track2Decoder d;
  for (const PeakCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<unsigned char> bytes = Bytes(c.samples);
    d.SetSensitivityFraction(c.fraction);
    d.FindPeaks(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    EXPECT_EQ(Describe(d.PeakList()), Describe(c.expected));
  }
}

TEST(FindPeaks, ThresholdsWidenWithTheBaselineSubtractedTwiceAbove) {
  Track2Decoder d;
  d.SetSensitivityFraction(0.5);
  // Baseline 20 (samples 25..34 at 70, samples 0..24 zero: 700 / 35).
  std::vector<int> s(120, 0);
  for (int k = 25; k < 40; ++k) s[static_cast<std::size_t>(k)] = 70;
  s[50] = 1200, s[51] = 1020;    // Thi = (1020 - 20) * 0.5 - 20 = 480
  s[60] = -1200, s[61] = -980;   // Tlo = 20 - (20 + 980) * 0.5 = -480
  const auto bytes = Bytes(s);
  d.FindPeaks(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  EXPECT_EQ(d.LastThresholds().baseline, 20);
  EXPECT_EQ(d.LastThresholds().upper, 480);
  EXPECT_EQ(d.LastThresholds().lower, -480);
}

TEST(FindPeaks, BaselineIsTheTruncatedMeanOfTheQuietLeadingSamples) {
  struct Case {
    const char* name;
    std::vector<int> first;  // samples 25, 26, ...; the rest of 25..34 repeat the last value
    int baseline;
  };
  const std::vector<Case> cases = {
      {"negative mean truncates toward zero", {-100}, -28},   // -1000 / 35
      {"loud sample 25 gives no baseline", {200}, 0},
      {"stops at the first sample at -175", {100, 100, 100, 100, 100, -175}, 16},  // 500 / 30
      {"largest quiet value", {174}, 49},                     // 1740 / 35
  };
  Track2Decoder d;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<int> s(60, 0);
    for (int k = 25; k <= 34; ++k) {
      const std::size_t i = static_cast<std::size_t>(k - 25);
      s[static_cast<std::size_t>(k)] = i < c.first.size() ? c.first[i] : c.first.back();
    }
    const auto bytes = Bytes(s);
    d.FindPeaks(bytes.data(), static_cast<std::int32_t>(bytes.size()));
    EXPECT_EQ(d.LastThresholds().baseline, c.baseline);
    EXPECT_EQ(d.LastThresholds().upper, 175 + c.baseline);
  }
}

TEST(FindPeaks, OddByteCountIgnoresTheLastByteAndShortBuffersAreSafe) {
  Track2Decoder d;
  auto bytes = Bytes(Signal({{40, {300, 900, 600, 100}}, {60, {-300, -900, -600, -100}}}));
  bytes.resize(bytes.size() + 1, 0x7F);
  d.FindPeaks(bytes.data(), static_cast<std::int32_t>(bytes.size()));
  EXPECT_EQ(Describe(d.PeakList()), Describe({{62, -600, 20}}));
  for (std::int32_t count : {0, 1, 2, 3, 69}) {
    d.FindPeaks(bytes.data(), count);
    EXPECT_TRUE(d.PeakList().empty()) << count;
  }
}

TEST(CapLeadingIntervals, ClampsTheFirstTwentyOnlyWhenMoreThanThirtyRecords) {
  auto makeList = [](std::size_t n) {
    std::vector<PeakRecord> list;
    for (std::size_t i = 0; i < n; ++i) {
      std::int32_t interval = 40;
      if (i < 10) interval = 500 + static_cast<std::int32_t>(i);   // the gap before the swipe
      else if (i < 20) interval = 50 + static_cast<std::int32_t>(i % 10);  // largest: 59
      else if (i == 25) interval = 900;                             // beyond record 19: untouched
      list.push_back({static_cast<std::int32_t>(i), 1000, interval});
    }
    return list;
  };
  Track2Decoder d;
  d.PeakList() = makeList(30);
  d.CapLeadingIntervals();
  EXPECT_EQ(Describe(d.PeakList()), Describe(makeList(30)));

  d.PeakList() = makeList(31);
  d.CapLeadingIntervals();
  const auto& list = d.PeakList();
  for (std::size_t i = 0; i < 10; ++i) EXPECT_EQ(list[i].interval, 59) << i;
  for (std::size_t i = 10; i < 20; ++i) EXPECT_EQ(list[i].interval, 50 + static_cast<int>(i % 10)) << i;
  EXPECT_EQ(list[25].interval, 900);
}

// --- ClassifyIntervals ----------------------------------------------------------------------

struct ClassifyCase {
  const char* name;
  int window;
  std::vector<int> intervals;
  std::vector<int> amplitudes;  // empty: alternating, starting positive
  const char* bits;
};

TEST(ClassifyIntervals, HandWorkedIntervalLists) {
  const std::vector<ClassifyCase> cases = {
      {"two halves make a one whose slot gets the full period", 3, {100, 100, 100, 50, 50, 100}, {}, "00010"},
      {"equal intervals give one zero each, the first record included", 7,
       {80, 80, 80, 80, 80, 80, 80, 80, 80, 80}, {}, "0000000000"},
      {"a half at the last record only holds", 3, {100, 100, 100, 100, 50}, {}, "0000"},
      {"a misfit at the last record gives no bit", 3, {100, 100, 100, 100, 170}, {}, "0000"},
      {"a misfit at the first record moves the ring on", 2, {10, 100, 100, 100, 100}, {}, "000"},
      {"too long after a pulse of the same polarity: no bit", 3, {100, 100, 100, 250, 100, 100},
       {1, -1, 1, 1, -1, 1}, "00000"},
      {"too short, and the pair makes a whole period: half pending, no bit", 3,
       {100, 100, 100, 20, 80, 100, 100}, {}, "000000"},
      {"too short while a half is pending completes the one", 3, {100, 100, 100, 50, 20, 100}, {}, "00010"},
      {"learning re-reads a record after finding a half-period estimate", 3, {50, 100, 100}, {}, "00"},
      {"no records", 3, {}, {}, ""},
  };
  Track2Decoder d;
  for (const ClassifyCase& c : cases) {
    SCOPED_TRACE(c.name);
    auto& list = d.PeakList();
    list.clear();
    std::int32_t position = 0;
    for (std::size_t i = 0; i < c.intervals.size(); ++i) {
      position += c.intervals[i];
      const int amplitude = c.amplitudes.empty() ? (i % 2 == 0 ? 1000 : -1000) : 1000 * c.amplitudes[i];
      list.push_back({position, amplitude, c.intervals[i]});
    }
    EXPECT_STREQ(d.ClassifyIntervals(c.window), c.bits);
  }
}

TEST(ClassifyIntervals, StopsAtTheBitTextBound) {
  Track2Decoder d;
  auto& list = d.PeakList();
  for (int i = 0; i < 20000; ++i) list.push_back({20 * (i + 1), i % 2 ? -1000 : 1000, 20});
  const std::string bits = d.ClassifyIntervals(5);
  EXPECT_EQ(bits.size(), static_cast<std::size_t>(Track2Decoder::kMaxBits));
  EXPECT_EQ(bits.find('1'), std::string::npos);
}

// --- FrameTrack2 and its checks -------------------------------------------------------------

std::string Chars(const std::string& text) {
  std::string bits;
  for (char c : text) bits += swipe::CharacterBits(c);
  return bits;
}

std::string Reversed(const std::string& s) { return std::string(s.rbegin(), s.rend()); }

std::string Flip(std::string bits, std::size_t index) {
  bits[index] = bits[index] == '0' ? '1' : '0';
  return bits;
}

struct FrameCase {
  const char* name;
  std::string bits;
  std::string framed;
  std::vector<int> parity;
  std::vector<int> lrc;
  bool reversed;
  bool endedAtSentinel;
};

TEST(FrameTrack2, FramesChecksAndRepairs) {
  const std::string card = Chars(";1?");                 // 11010 10000 11111
  const std::string lrc = swipe::CharacterBits(swipe::LrcCharacter(";1?"));
  const std::string clean = "00000" + card + lrc + "00000";
  // ";<7?": "00111" followed by "11100" holds "11111" off a character boundary.
  const std::string misaligned = Chars(";<7?");
  const std::string misalignedLrc = swipe::CharacterBits(swipe::LrcCharacter(";<7?"));
  const std::string card6 = Chars(";1234?");
  const std::string lrc6 = swipe::CharacterBits(swipe::LrcCharacter(";1234?"));
  const std::vector<FrameCase> cases = {
      {"clean, LRC tested and dropped", clean, card, {}, {}, false, true},
      {"backward swipe frames on the second try", Reversed(clean), card, {}, {}, true, true},
      {"text beginning with 1 is read backwards at once", Reversed("0000" + card + lrc + "0001"), card, {}, {}, true, true},
      {"no start sentinel either way", "000001100100000", "", {}, {}, true, false},
      {"only ones", "11111", "", {}, {}, true, false},
      {"misaligned end sentinel passed over", "000" + misaligned + misalignedLrc + "000", misaligned, {}, {}, false, true},
      {"only a misaligned end sentinel: cut after it", "000" + Chars(";<7") + "0000",
       Chars(";<7").substr(0, 13), {}, {}, false, false},
      {"no end sentinel: runs to the end", "00" + Chars(";12") + "000", Chars(";12") + "000", {}, {}, false, false},
      {"fewer than 5 bits after the end sentinel: no LRC check", "0" + card + "000", card, {}, {}, false, true},
      {"wrong LRC character", "0" + card + Flip(lrc, 0) + "0", card, {}, {0, 5}, false, true},
      {"one flipped data bit is repaired", "00" + Flip(card6, 5 * 3 + 2) + lrc6 + "00", card6, {3}, {2}, false, true},
      {"one flipped parity bit is repaired", "00" + Flip(card6, 5 * 2 + 4) + lrc6 + "00", card6, {2}, {}, false, true},
      {"two bad characters are left alone", "00" + Flip(Flip(card6, 5 * 2 + 1), 5 * 3 + 1) + lrc6 + "00",
       Flip(Flip(card6, 5 * 2 + 1), 5 * 3 + 1), {2, 3}, {}, false, true},
  };
  Track2Decoder d;
  for (const FrameCase& c : cases) {
    SCOPED_TRACE(c.name);
    d.BeginAttempt();
    EXPECT_EQ(std::string(d.FrameTrack2(c.bits.c_str())), c.framed);
    EXPECT_EQ(d.ParityErrors(), c.parity);
    EXPECT_EQ(d.LrcErrors(), c.lrc);
    EXPECT_EQ(d.ReversedOnce(), c.reversed);
    if (!c.framed.empty()) {
      EXPECT_EQ(d.FrameEndedAtSentinel(), c.endedAtSentinel);
    }
  }
}

TEST(FrameTrack2, ReadsBackwardsOnlyOncePerAttempt) {
  Track2Decoder d;
  const std::string backward = Reversed("00000" + Chars(";1?") + "00000");
  d.BeginAttempt();
  EXPECT_STRNE(d.FrameTrack2(backward.c_str()), "");
  EXPECT_STREQ(d.FrameTrack2(backward.c_str()), "") << "the attempt has had its backward read";
  d.BeginAttempt();
  EXPECT_STRNE(d.FrameTrack2(backward.c_str()), "");
}

TEST(FrameTrack2, LongestTextsStayWithinTheBuffers) {
  Track2Decoder d;
  // A frame that never ends, longer than any bit text: read up to the bound only.
  std::string bits = "0" + Chars(";");
  while (bits.size() < 20000) bits += Chars("1");
  d.BeginAttempt();
  const std::string framed = d.FrameTrack2(bits.c_str());
  EXPECT_EQ(framed.size(), static_cast<std::size_t>(Track2Decoder::kMaxBits - 1));
  EXPECT_FALSE(d.FrameEndedAtSentinel());
  const std::string text = d.BitsToCharacters(framed.c_str(), 5);
  EXPECT_EQ(text.size(), framed.size() / 5);
}

TEST(CheckParityAndLrc, IncompleteCharactersAndOwnParity) {
  Track2Decoder d;
  d.CheckParity((Chars(";1") + "1110").c_str());  // the 4 trailing bits are not a character
  EXPECT_TRUE(d.ParityErrors().empty());
  d.CheckParity((Chars(";") + "11000" + Chars("1") + "00000").c_str());
  EXPECT_EQ(d.ParityErrors(), (std::vector<int>{1, 3}));

  d.CheckLrc((Chars(";1?") + "1").c_str());  // not a whole number of characters
  EXPECT_TRUE(d.LrcErrors().empty());
  const std::string lrc = swipe::CharacterBits(swipe::LrcCharacter(";1?"));
  d.CheckLrc((Chars(";1?") + lrc).c_str());
  EXPECT_TRUE(d.LrcErrors().empty());
  d.CheckLrc((Chars(";1?") + Flip(lrc, 4)).c_str());  // columns right, own parity wrong
  EXPECT_EQ(d.LrcErrors(), (std::vector<int>{5}));
  d.CheckLrc((Chars(";1?") + Flip(Flip(lrc, 1), 3)).c_str());
  EXPECT_EQ(d.LrcErrors(), (std::vector<int>{1, 3}));
}

TEST(BitsToCharacters, GroupsOfFiveParityIgnored) {
  const struct {
    const char* bits;
    const char* text;
  } cases[] = {
      {"110101000011111", ";1?"},
      {"11010", ""},                    // 5 bits or fewer: nothing
      {"1101", ""},
      {"110101", ";"},                  // an incomplete last group is dropped
      {"0000100000101011111001111", "005?>"},   // parity bits ignored; 15 is "?", 14 is ">"
  };
  Track2Decoder d;
  for (const auto& c : cases) EXPECT_STREQ(d.BitsToCharacters(c.bits, 5), c.text) << c.bits;
}

}  // namespace
