// A lead byte before a byte that can be no trail byte must not hide that
// byte from escaping: a browser decodes the pair as a broken character
// followed by the byte, so a raw '<' there would open a real tag.
#include <gtest/gtest.h>

#include <string>

#include "convert/run.h"
#include "platform/paths.h"
#include "support/browser_decode.h"
#include "support/recording_host.h"
#include "support/test_support.h"

namespace norvelle {
namespace {

// Text between the markers must hold no raw < > " and only '&' that start an entity.
void ExpectNoMarkup(const std::string& page) {
  const std::string seen = test::BrowserAscii(page);
  int spans = 0;
  for (std::size_t at = seen.find("qqa"); at != std::string::npos; at = seen.find("qqa", at + 1)) {
    const std::size_t end = seen.find("qqz", at);
    ASSERT_NE(end, std::string::npos);
    const std::string span = seen.substr(at, end - at);
    SCOPED_TRACE(span);
    ++spans;
    EXPECT_EQ(span.find_first_of("<>\""), std::string::npos);
    for (std::size_t amp = span.find('&'); amp != std::string::npos; amp = span.find('&', amp + 1)) {
      const std::string rest = span.substr(amp);
      EXPECT_TRUE(test::StartsWithEntity(rest)) << rest.substr(0, 8);
    }
  }
  EXPECT_EQ(spans, 6 * 60);  // five places and the title, for each of the 60 lead bytes
}

TEST(LoneLeadByte, NeverCarriesMarkupPastEscaping) {
  // Every lead byte before every byte below 0x40 that stays inside a line.
  std::string all;
  std::string doc;
  auto add_lead = [&](unsigned lead) {
    std::string payload = "qqa";
    for (unsigned b = 0; b < 0x40; ++b) {
      if (b == '\n' || b == '\r' || b == 0x1A) continue;
      payload += {char(lead), char(b), 'x'};
    }
    payload += "qqz";
    all += payload.substr(0, 3) + payload.substr(6);  // a title ends at NUL
    doc += payload + "\n|b|" + payload + "\n|table=|" + payload + "\n" + payload + "\n|endtable|\n";
    doc += "|cppsrc|\n" + payload + "\n|endcppsrc|\n";
  };
  for (unsigned lead = 0x81; lead <= 0x9F; ++lead) add_lead(lead);
  for (unsigned lead = 0xE0; lead <= 0xFC; ++lead) add_lead(lead);
  doc = "|title|" + all + "\n" + doc;

  test::TempDir tmp;
  SetProgramPathForTesting(tmp.File("norvelle"));
  ASSERT_TRUE(test::WriteBytes(tmp.File("norvelle.ini"), "HeaderStr=<title_rep>\n"));
  ASSERT_TRUE(test::WriteBytes(tmp.File("inj.txt"), doc));
  test::RecordingHost host;
  Convert(host, tmp.File("inj.txt"));
  const std::string page = test::ReadBytes(tmp.File("inj.htm"));
  ASSERT_FALSE(page.empty());
  ExpectNoMarkup(page);
  SetProgramPathForTesting("");
}

// The line of the report that showed the hole, byte for byte.
TEST(LoneLeadByte, ImageTagLineIsText) {
  test::TempDir tmp;
  SetProgramPathForTesting(tmp.File("norvelle"));
  ASSERT_TRUE(test::WriteBytes(tmp.File("inj.txt"), "x\x82<img/\x82 src=x\x82 onerror=alert(1)//\x82>\r\n"));
  test::RecordingHost host;
  EXPECT_EQ(Convert(host, tmp.File("inj.txt")), RunOutcome::kDone);
  EXPECT_NE(test::ReadBytes(tmp.File("inj.htm")).find("x&lt;img/&nbsp;src=x&nbsp;onerror=alert(1)//&gt;<br>\r\n"),
            std::string::npos);
  SetProgramPathForTesting("");
}

}  // namespace
}  // namespace norvelle
