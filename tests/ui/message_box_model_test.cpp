// The message box's rules without the toolkit: captions per kind, the caption-and-picture
// form, the button pairs with their default and dismiss answers, and line breaks.
#include "ui/message_box_model.h"

#include <gtest/gtest.h>

namespace kalvira::ui {
namespace {

TEST(MessageBoxModelTest, LineBreaksInEveryOrderBecomeOne) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"a\n\rb", "a\nb"},       {"a\r\nb", "a\nb"},   {"a\nb", "a\nb"},         {"a\rb", "a\nb"},
      {"a\n\r\n\rb", "a\n\nb"}, {"a\n\nb", "a\n\nb"}, {"no break", "no break"},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageBoxLines(c.in), c.out) << c.in;
}

TEST(MessageBoxModelTest, KindsCaptionsPicturesAndButtons) {
  namespace t = message_box_text;
  MessageBoxRequest error{"Ошибка записи", MessageKind::kError, MessageButtons::kOkCancel, "", 0};
  MessageBoxView view = MakeMessageBoxView(error);
  EXPECT_EQ(view.caption, t::kError);
  EXPECT_EQ(view.picture, 0);
  ASSERT_EQ(view.buttons.size(), 2u);
  EXPECT_EQ(view.buttons[0].caption, t::kOk);
  EXPECT_EQ(view.buttons[0].result, MessageResult::kOk);
  EXPECT_EQ(view.buttons[1].result, MessageResult::kCancel);
  EXPECT_EQ(view.dismiss_result, MessageResult::kCancel);

  MessageBoxRequest vote{"Ваш голос учтен", MessageKind::kInformation, MessageButtons::kOkCancel,
                         "Голосование", 8};
  view = MakeMessageBoxView(vote);
  EXPECT_EQ(view.caption, "Голосование");
  EXPECT_EQ(view.picture, 8);

  MessageBoxRequest update{"Доступна новая версия", MessageKind::kWarning, MessageButtons::kYesNo,
                           "", 0};
  view = MakeMessageBoxView(update);
  EXPECT_EQ(view.caption, t::kWarning);
  ASSERT_EQ(view.buttons.size(), 2u);
  EXPECT_EQ(view.buttons[0].caption, t::kYes);
  EXPECT_EQ(view.buttons[1].caption, t::kNo);
  EXPECT_EQ(view.dismiss_result, MessageResult::kNo);

  for (int picture : {-1, 11, 1000}) {
    vote.picture = picture;
    EXPECT_EQ(MakeMessageBoxView(vote).picture, 0) << picture;
  }
}

}  // namespace
}  // namespace kalvira::ui
