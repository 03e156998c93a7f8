#include "ui/forms/message_send_form.h"

#include <QKeyEvent>
#include <QValidator>

#include "ui/hint.h"
#include "ui_message_send_form.h"

namespace kalvira {

namespace {

constexpr char kLoginHintTitle[] = "Авторизация";
constexpr char kLoginHint[] = "Запустить мастер авторизации";
constexpr int kTimerMs = 1000;

std::u32string Ucs4(const QString& text) {
  std::u32string out;
  for (const char32_t c : text.toUcs4()) out += c;
  return out;
}

// Keys that produce no character (arrows, Home, Delete, function keys) move or delete
// and are no typing: only the characters a key types are filtered.
bool TypesCharacters(const QKeyEvent& key) {
  return !key.text().isEmpty() && key.key() != Qt::Key_Delete;
}

// Paste, drops and the middle-button selection reach the edit without a key press; they
// are held to the same characters as typing.
class TMessageValidator : public QValidator {
 public:
  TMessageValidator(const TMessageSend& logic, QObject* parent)
      : QValidator(parent), logic_(logic) {}
  State validate(QString& input, int&) const override {
    return logic_.KeyPasses(Ucs4(input)) ? Acceptable : Invalid;
  }

 private:
  const TMessageSend& logic_;
};

}  // namespace

TfrmMessageSend::TfrmMessageSend(IMessageBox& box, IBeeper& beeper, TMessageSend::SendFunction send,
                                 QWidget* parent)
    : ui::TSkinnedDialog(parent),
      form_(std::make_unique<Ui::TfrmMessageSend>()),
      logic_(box, beeper, std::move(send)) {
  setObjectName("frmMessageSend");
  form_->setupUi(ClientArea());
  SetClientSize(351, 130);
  SetCaption(ClientArea()->windowTitle());
  SetCaptionButtons(ui::kNoCaptionButtons);
  ui::SetHint(form_->spSkinButton1, QString::fromUtf8(kLoginHint),
              QString::fromUtf8(kLoginHintTitle));
  form_->editMessage->setMaxLength(static_cast<int>(logic_.MaxLength()));
  form_->editMessage->setValidator(new TMessageValidator(logic_, this));
  form_->editNick->installEventFilter(this);
  form_->editMessage->installEventFilter(this);
  tmrMessageTime_.setInterval(kTimerMs);
  connect(&tmrMessageTime_, &QTimer::timeout, this, [this] { tmrMessageTimeTimer(); });
  connect(form_->btnSend, &QPushButton::clicked, this, [this] { btnSendClick(); });
  connect(form_->spSkinButton2, &QPushButton::clicked, this, [this] { reject(); });
  connect(form_->spSkinButton1, &QPushButton::clicked, this, [this] {
    if (show_login_) show_login_();
  });
}

TfrmMessageSend::~TfrmMessageSend() = default;

// Nothing is reset: the message, the nick, the hidden mode and a running wait stay.
void TfrmMessageSend::showEvent(QShowEvent* event) {
  ui::TSkinnedDialog::showEvent(event);
  form_->editMessage->setFocus();
}

bool TfrmMessageSend::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == form_->editNick || watched == form_->editMessage) &&
      event->type() == QEvent::KeyPress) {
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (watched == form_->editMessage &&
        logic_.KeyDown(form_->editMessage->text().toStdString(), key.key() == Qt::Key_F8)) {
      form_->isSA->setChecked(true);
      form_->editMessage->setMaxLength(static_cast<int>(logic_.MaxLength()));
    }
    if (TypesCharacters(key) && !logic_.KeyPasses(Ucs4(key.text()))) return true;  // swallowed
  }
  return ui::TSkinnedDialog::eventFilter(watched, event);
}

void TfrmMessageSend::btnSendClick() {
  if (!form_->btnSend->isEnabled()) return;
  if (!logic_.Send(form_->editNick->text().toStdString(),
                   form_->editMessage->text().toStdString())) {
    return;
  }
  tmrMessageTime_.start();
  form_->editNick->setEnabled(false);
  ShowButtonState();
  accept();
}

void TfrmMessageSend::tmrMessageTimeTimer() {
  logic_.Tick();
  if (!logic_.TimerEnabled()) tmrMessageTime_.stop();
  ShowButtonState();
}

void TfrmMessageSend::ShowButtonState() {
  form_->btnSend->setText(QString::fromStdString(logic_.ButtonCaption()));
  form_->btnSend->setEnabled(logic_.ButtonEnabled());
}

}  // namespace kalvira
