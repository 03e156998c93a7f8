// Every text the online services write to the error log or show in a message box, in
// one place. In message-box texts a line break is LF followed by CR. Constants only.
#pragma once

#include <string_view>

namespace kalvira::online_texts {

inline constexpr std::string_view kLineBreak = "\n\r";

// The error log.
inline constexpr std::string_view kChatFeedFailed =
    "Ошибка получения списка сообщений с сервера. Система получения сообщений автоматически "
    "отключена на время этого сеанса";
inline constexpr std::string_view kSendFailed = "Ошибка при отправке сообщения на сервер";
inline constexpr std::string_view kUpdateCheckFailed = "Ошибка проверки обновления программы";
inline constexpr std::string_view kUpdateQueryFailed =
    "Ошибка при выполнении запроса на получении новой версии!";
inline constexpr std::string_view kLoginFailed = "Не возможно авторизоваться на сервере!";

// Sending a message.
inline constexpr std::string_view kNoNick = "Вы не указали ваш ник в чате !";
inline constexpr std::string_view kEmptyMessage = "Нельзя отправлять пустое сообщение !";

// The login.
inline constexpr std::string_view kCorruptedBefore = "Некоторые данные, сохраненные в прошлый ";
inline constexpr std::string_view kCorruptedAfter =
    "раз, были испорчены. Введите EMAIL и пароль заново.";
inline constexpr std::string_view kDeniedBefore = "Пользователю \"";
inline constexpr std::string_view kDeniedAfter = "\" запрещен доступ";
inline constexpr std::string_view kWrongPassword = "Не верный пароль!";

// The cabinet.
inline constexpr std::string_view kAccessLevelError = "Ошибка уровня доступа";

// The update check, piece by piece.
inline constexpr std::string_view kUpdateCongratulations =
    "Поздравляем, на сайте производителя появилась ";
inline constexpr std::string_view kUpdateNewVersion = "новая версия программы.";
inline constexpr std::string_view kUpdateCurrent = "Текущая версия программы: #";
inline constexpr std::string_view kUpdateAvailable = "Доступная версия программы: #";
inline constexpr std::string_view kUpdateMust = "Вам необходимо выполнить обновление сейчас,";
inline constexpr std::string_view kUpdateOtherwise =
    "в противном случае программа не сможет работать.";
inline constexpr std::string_view kUpdateQuestion = "Вы хотите обновить программу?";
inline constexpr std::string_view kVersionBuild = " BUILD ";

}  // namespace kalvira::online_texts
