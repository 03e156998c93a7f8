// The chat labels' HTML subset: which tags act, and that everything a listener may type
// otherwise comes out as the characters typed.
#include "ui/html_subset.h"

#include <gtest/gtest.h>

#include <string>

namespace kalvira::ui {
namespace {

struct Case {
  const char* name;
  const char* input;
  const char* output;
};

class HtmlSubsetTest : public ::testing::TestWithParam<Case> {};

TEST_P(HtmlSubsetTest, ConvertsOnlyTheSubset) {
  EXPECT_EQ(HtmlSubsetToRichText(GetParam().input), GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HtmlSubsetTest,
    ::testing::Values(
        Case{"Bold", "a<b>b</b>c", "a<b>b</b>c"}, Case{"AnyLetterCase", "<B>x</B >", "<b>x</b>"},
        Case{"LineBreaks", "1<br>2<BR/>3<br />", "1<br>2<br>3<br>"},
        Case{"FontColourQuoted", "<font color=\"Red\">r</font>", "<font color=\"red\">r</font>"},
        Case{"FontColourSingleQuoted", "<font color='#0f0'>g</FONT>",
             "<font color=\"#0f0\">g</font>"},
        Case{"FontColourBare", "<font color=blue>b</font>", "<font color=\"blue\">b</font>"},
        Case{"OtherAttribute", "<font size=\"3\">x</font>",
             "&lt;font size=&quot;3&quot;&gt;x&lt;/font&gt;"},
        Case{"SecondAttribute", "<font color=\"red\" size=\"2\">x</font>",
             "&lt;font color=&quot;red&quot; size=&quot;2&quot;&gt;x&lt;/font&gt;"},
        Case{"EmptyColour", "<font color=\"\">x</font>",
             "&lt;font color=&quot;&quot;&gt;x&lt;/font&gt;"},
        Case{"ColourThatIsAScheme", "<font color=\"javascript:x\">x</font>",
             "&lt;font color=&quot;javascript:x&quot;&gt;x&lt;/font&gt;"},
        Case{"Image", "<img src=x onerror=alert(1)>", "&lt;img src=x onerror=alert(1)&gt;"},
        Case{"Script", "<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
        Case{"Style", "<style>*{}</style>", "&lt;style&gt;*{}&lt;/style&gt;"},
        Case{"Link", "<a href=\"http://x\">y</a>",
             "&lt;a href=&quot;http://x&quot;&gt;y&lt;/a&gt;"},
        Case{"Entities", "&amp; &lt;", "&amp;amp; &amp;lt;"},
        Case{"StrayAngles", "a < b > c", "a &lt; b &gt; c"},
        Case{"CloseWithoutOpen", "</b>", "&lt;/b&gt;"},
        Case{"UnclosedIsClosed", "<b>unclosed", "<b>unclosed</b>"},
        Case{"CrossedTagsNest", "<b><font color=\"red\">x</b>y</font>",
             "<b><font color=\"red\">x</font></b><font color=\"red\">y</font>"},
        Case{"CyrillicAndQuotes", "Ёлки \"q\"", "Ёлки &quot;q&quot;"}, Case{"Empty", "", ""}),
    [](const ::testing::TestParamInfo<Case>& param_info) {
      return std::string(param_info.param.name);
    });

TEST(HtmlSubsetDepthTest, AThousandNestedTagsStopAtTheDepthAndStayBalanced) {
  std::string input;
  for (int i = 0; i < 1000; ++i) input += "<b>";
  input += "x";
  for (int i = 0; i < 1000; ++i) input += "</b>";
  const std::string out = HtmlSubsetToRichText(input);
  std::string expected;
  for (std::size_t i = 0; i < kMaxHtmlSubsetDepth; ++i) expected += "<b>";
  expected += "x";
  for (std::size_t i = 0; i < kMaxHtmlSubsetDepth; ++i) expected += "</b>";
  EXPECT_EQ(out, expected);
}

}  // namespace
}  // namespace kalvira::ui
