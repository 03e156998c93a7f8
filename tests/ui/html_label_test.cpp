// What a listener sees in the chat label: hostile text shows as the characters typed,
// while the subset's markup renders.
#include "ui/html_label.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTextDocument>

namespace kalvira::ui {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "html-label-test";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static auto* app = new QApplication(argc, argv);
  return *app;
}

// The text a reader sees once the label's rich text is laid out.
QString Shown(const THtmlLabel& label) {
  QTextDocument document;
  document.setHtml(label.RenderedText());
  return document.toPlainText();
}

TEST(HtmlLabelTest, HostileLinesShowAsTyped) {
  App();
  const char* lines[] = {
      "<img src=\"file:///etc/passwd\">",
      "<a href=\"http://evil\">click</a>",
      "<script>alert(1)</script>",
      "<style>body{display:none}</style>",
      "&lt;b&gt; &amp; &#x41;",
      "<table><tr><td>x",
      "a < b",
  };
  for (const char* line : lines) {
    THtmlLabel label;
    label.Append(line);
    EXPECT_EQ(Shown(label), QString::fromUtf8(line)) << line;
  }
}

TEST(HtmlLabelTest, LinesJoinAndTheSubsetRenders) {
  App();
  THtmlLabel label;
  label.Append("<b>Ольга</b>: привет<br>");
  label.Append("<font color=\"red\">Радио</font>: эфир<br>");
  EXPECT_EQ(Shown(label), QString::fromUtf8("Ольга: привет\nРадио: эфир\n"));
  EXPECT_TRUE(label.RenderedText().contains("<b>"));
  label.Clear();
  EXPECT_EQ(Shown(label), QString());
}

TEST(HtmlLabelTest, ClickSignals) {
  App();
  THtmlLabel label;
  label.resize(200, 40);
  label.show();
  QSignalSpy clicks(&label, &THtmlLabel::clicked);
  QTest::mouseClick(&label, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 1);
}

}  // namespace
}  // namespace kalvira::ui
