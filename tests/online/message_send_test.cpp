// Sending a message without its window: the key filter, the hidden mode, the checks of
// a send and the wait that follows it.
#include "online/message_send.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/radio/radio_fixture.h"

namespace kalvira {
namespace {

class MessageSendTest : public ::testing::Test {
 protected:
  testing::RecordingMessageBox box_;
  testing::RecordingBeeper beeper_;
  std::vector<std::pair<std::string, std::string>> sent_;
  TMessageSend send_{box_, beeper_, [this](const std::string& user, const std::string& message) {
                       sent_.emplace_back(user, message);
                     }};
};

TEST_F(MessageSendTest, AllowedCharactersAreExactlyTheEightyFour) {
  EXPECT_EQ(kAllowedMessageChars.size(), 84u);
  EXPECT_EQ(kAllowedMessageChars.front(), U' ');
  for (const char32_t c : kAllowedMessageChars) EXPECT_TRUE(send_.KeyPasses(std::u32string(1, c)));
  EXPECT_TRUE(send_.KeyPasses(U"\b"));  // backspace
  const char32_t refused[] = {U'a', U'Z', U'ё',  U'Ё',  U'"',  U'\'',   U'<',    U'>', U'-', U'_',
                              U'&', U';', U'\\', U'\t', U'\r', U'\x16', U'\x7f', U'€', U'😀'};
  for (const char32_t c : refused) {
    EXPECT_FALSE(send_.KeyPasses(std::u32string(1, c))) << static_cast<unsigned>(c);
  }
  // A key that produces several characters passes only when all of them may.
  EXPECT_TRUE(send_.KeyPasses(U"жд"));
  EXPECT_FALSE(send_.KeyPasses(U"жx"));
  EXPECT_EQ(send_.MaxLength(), 41u);
}

TEST_F(MessageSendTest, AccessPhraseAndF8SwitchTheHiddenModeOn) {
  EXPECT_FALSE(send_.KeyDown("36фывжэдл2", true));
  EXPECT_FALSE(send_.KeyDown("36фывжэдл2э ", true));
  EXPECT_FALSE(send_.KeyDown("36фывжэдл2э", false));
  EXPECT_FALSE(send_.HiddenMode());
  EXPECT_TRUE(beeper_.tones.empty());
  // Every character of the phrase may be typed.
  EXPECT_TRUE(send_.KeyPasses(U"36фывжэдл2э"));
  EXPECT_TRUE(send_.KeyDown("36фывжэдл2э", true));
  EXPECT_TRUE(send_.HiddenMode());
  EXPECT_EQ(beeper_.tones, (std::vector<std::pair<unsigned, unsigned>>{{1700, 150}}));
  EXPECT_EQ(send_.MaxLength(), 1024u);
  for (const char32_t c : {U'a', U'<', U'\x01', U'ё'})
    EXPECT_TRUE(send_.KeyPasses(std::u32string(1, c)));

  ASSERT_TRUE(send_.Send("me@example.org", "<i>hi</i>"));
  EXPECT_EQ(sent_, (std::vector<std::pair<std::string, std::string>>{
                       {"<B><FONT color=\"#FF0000\">me@example.org</FONT></b>", "<i>hi</i>"}}));
}

TEST_F(MessageSendTest, EmptyNickOrMessageStopsTheSend) {
  EXPECT_FALSE(send_.Send("", "hello"));
  EXPECT_FALSE(send_.Send("me", ""));
  ASSERT_EQ(box_.requests.size(), 2u);
  EXPECT_EQ(box_.requests[0].text, "Вы не указали ваш ник в чате !");
  EXPECT_EQ(box_.requests[1].text, "Нельзя отправлять пустое сообщение !");
  for (const auto& r : box_.requests) {
    EXPECT_EQ(r.kind, MessageKind::kError);
    EXPECT_EQ(r.buttons, MessageButtons::kOkCancel);
  }
  EXPECT_TRUE(sent_.empty());
  EXPECT_FALSE(send_.TimerEnabled());
  // Blanks are no emptiness; nothing is trimmed.
  EXPECT_TRUE(send_.Send(" ", " "));
  EXPECT_EQ(sent_, (std::vector<std::pair<std::string, std::string>>{{" ", " "}}));
}

// 59 ... 1 after the ticks, "Отправить" 60 seconds after the send; no second send in
// between, not even before the first tick.
TEST_F(MessageSendTest, WaitCountsDownFromTheSend) {
  EXPECT_EQ(send_.ButtonCaption(), "Отправить");
  ASSERT_TRUE(send_.Send("me", "привет"));
  EXPECT_TRUE(send_.TimerEnabled());
  EXPECT_FALSE(send_.ButtonEnabled());
  for (int second = 1; second < 60; ++second) {
    send_.Tick();
    EXPECT_EQ(send_.ButtonCaption(), "Жди (" + std::to_string(60 - second) + ") сек");
    EXPECT_FALSE(send_.ButtonEnabled());
    if (second == 30) {
      EXPECT_EQ(send_.ButtonCaption(), "Жди (30) сек");
    }
  }
  send_.Tick();
  EXPECT_EQ(send_.ButtonCaption(), "Отправить");
  EXPECT_TRUE(send_.ButtonEnabled());
  EXPECT_FALSE(send_.TimerEnabled());
  send_.Tick();  // no wait runs: nothing changes
  EXPECT_EQ(send_.ButtonCaption(), "Отправить");
}

}  // namespace
}  // namespace kalvira
