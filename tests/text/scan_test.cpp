// The byte kernels: the SSE2 form against the scalar form, its reference, on
// random texts at every offset, each text at the very end of its buffer (so
// that a read past it is a fault under AddressSanitizer).
#include "text/scan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace norvelle {
namespace {

using namespace std::string_view_literals;

#ifdef __SSE2__

// A text alone in a buffer of its own size.
struct Exact {
  explicit Exact(const std::string& s) : bytes(s.begin(), s.end()) {}
  const char* begin() const { return reinterpret_cast<const char*>(bytes.data()); }
  const char* end() const { return begin() + bytes.size(); }
  const unsigned char* ubegin() const { return bytes.data(); }
  std::vector<unsigned char> bytes;
};

std::string Random(std::mt19937& random, std::string_view alphabet, std::size_t size) {
  std::string s;
  for (std::size_t i = 0; i < size; ++i) s += alphabet[random() % alphabet.size()];
  return s;
}

// Texts for the escaping scan: blanks after runs of lead bytes of every
// length, lead bytes before every byte that can be no trail byte, pairs,
// specials and the bytes of a key from 0x40 on.
std::vector<std::string> EscapeTexts() {
  std::mt19937 random(11);
  std::vector<std::string> texts;
  const std::string plain = "ab  \x82\xA0\xE0\x81\x9F\xFC\xB1";
  for (int run = 0; run <= 17; ++run)
    texts.push_back(Random(random, "ab  ", 5) + std::string(std::size_t(run), '\x82') + " " + Random(random, plain, 30));
  std::string no_trail;
  for (int b = 0; b < 0x40; ++b) no_trail += char(b);
  no_trail += "\x7F\xFD\xFE\xFF";
  for (char x : no_trail)
    for (int at = 0; at < 17; ++at)
      texts.push_back(Random(random, "ab ", std::size_t(at)) + "\x81" + x + Random(random, plain, 32));
  for (int i = 0; i < 300; ++i) texts.push_back(Random(random, plain + "<&\"\t\n|b\x7F\xFD", 16 + random() % 60));
  return texts;
}

EscapeStops Stops(std::string_view bytes) {
  EscapeStops s;
  for (char c : bytes) s.Add(static_cast<unsigned char>(c));
  return s;
}

TEST(EscapeBlocks, BothFormsAgreeAtEveryOffset) {
  const EscapeStops stop_sets[] = {Stops(" \"&<>\t"), Stops(" \"&<>\t\n"), Stops(" \"&<>\t|"), Stops(" \"&<>\tb")};
  const BlankPiece blanks[] = {{"&nbsp;", false}, {"+", true}, {"12345678", true}, {"", false}, {"123456789", true}};
  for (const std::string& text : EscapeTexts()) {
    const Exact in(text);
    for (const EscapeStops& stops : stop_sets) {
      for (const BlankPiece& blank : blanks) {
        const ScalarScan::EscapeBlocks scalar(stops, blank, true);
        const Sse2Scan::EscapeBlocks sse2(stops, blank, true);
        for (std::size_t at = 0; at + 16 <= text.size(); ++at) {
          for (bool roomy : {true, false}) {
            auto where = [&] { return text + " at " + std::to_string(at) + " as " + std::string(blank.text); };
            char want[256], got[256];
            const unsigned char *pa = in.ubegin() + at, *pb = pa, *e = in.ubegin() + text.size();
            char *wa = want, *wb = got;
            const bool whole_a = scalar.Block(pa, e, wa, roomy);
            const bool whole_b = sse2.Block(pb, e, wb, roomy);
            ASSERT_EQ(pa, pb) << where();
            ASSERT_EQ(whole_a, whole_b) << where();
            ASSERT_EQ(std::string(want, wa), std::string(got, wb)) << where();
          }
        }
      }
    }
  }
}

TEST(FindHighOr, BothFormsAgreeAtEveryOffset) {
  std::mt19937 random(5);
  for (int round = 0; round < 200; ++round) {
    const Exact in(Random(random, round % 2 ? "abc \n"sv : "abcdefghijklmn \n\x82\xFF\0"sv, random() % 70));
    for (char byte : {'\n', ' ', '\0', '\x82'}) {
      for (const char* p = in.begin(); p <= in.end(); ++p)
        ASSERT_EQ(ScalarScan::FindHighOr(p, in.end(), byte), Sse2Scan::FindHighOr(p, in.end(), byte))
            << round << " from " << (p - in.begin()) << " byte " << int(byte);
    }
  }
}

TEST(CountLineFeeds, BothFormsAgree) {
  std::mt19937 random(3);
  std::vector<std::string> texts = {std::string(10000, '\n'), std::string(4096 * 3 + 5, '\n')};
  for (int round = 0; round < 200; ++round) texts.push_back(Random(random, "ab\n", random() % 600));
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.size());
    const Exact in(text);
    const std::string_view view(in.begin(), text.size());
    EXPECT_EQ(ScalarScan::CountLineFeeds(view), Sse2Scan::CountLineFeeds(view));
  }
}

// Each text once alone in its buffer and once followed by a CR that is not
// its own.
TEST(TextModeInPlace, BothFormsAgree) {
  std::mt19937 random(9);
  std::vector<std::string> texts;
  for (int round = 0; round < 400; ++round)
    texts.push_back(Random(random, round % 3 ? "ab\r\n\r\n" : "ab\r\n\x1A", random() % 90));
  for (std::size_t gap = 0; gap < 40; ++gap) texts.push_back("a\r\n" + std::string(gap, 'b'));
  for (const std::string& text : texts) {
    for (bool cr_after : {false, true}) {
      SCOPED_TRACE(testing::Message() << text << (cr_after ? " with a CR after it" : ""));
      std::vector<char> a(text.begin(), text.end()), b = a;
      if (cr_after) a.push_back('\r'), b.push_back('\r');
      bool cut_a = false, cut_b = false;
      const std::size_t na = ScalarScan::TextModeInPlace(a.data(), text.size(), &cut_a);
      const std::size_t nb = Sse2Scan::TextModeInPlace(b.data(), text.size(), &cut_b);
      ASSERT_EQ(cut_a, cut_b);
      ASSERT_EQ(std::string(a.data(), na), std::string(b.data(), nb));
    }
  }
}

TEST(CrlfInto, BothFormsAgree) {
  std::mt19937 random(13);
  for (int round = 0; round < 300; ++round) {
    const Exact in(Random(random, round % 2 ? "ab\n" : "abcdefgh\n\r", random() % 90));
    const std::size_t n = in.bytes.size();
    SCOPED_TRACE(std::string(in.begin(), n));
    std::vector<char> a(2 * n + 16), b(2 * n + 16);
    const std::size_t na = ScalarScan::CrlfInto(a.data(), in.begin(), n);
    const std::size_t nb = Sse2Scan::CrlfInto(b.data(), in.begin(), n);
    ASSERT_EQ(std::string(a.data(), na), std::string(b.data(), nb));
  }
}

#else

TEST(Scan, OnlyTheScalarForm) { GTEST_SKIP() << "no SSE2 form in this build"; }

#endif

}  // namespace
}  // namespace norvelle
