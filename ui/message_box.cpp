#include "ui/message_box.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/image_list.h"
#include "ui/message_box_model.h"
#include "ui/skin_button.h"
#include "ui/skinned_form.h"

namespace kalvira::ui {
namespace {

constexpr int kIconSize = 32;
constexpr int kMinClientWidth = 240;
constexpr int kMaxTextWidth = 420;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;

}  // namespace

TSkinnedMessageBox::TSkinnedMessageBox(QWidget* parent) : parent_(parent) {}

MessageResult TSkinnedMessageBox::Show(const MessageBoxRequest& request) {
  const MessageBoxView view = MakeMessageBoxView(request);

  TSkinnedDialog dialog(parent_);
  dialog.setObjectName("SkinMessageBox");
  dialog.SetCaption(QString::fromStdString(view.caption));
  dialog.SetCaptionButtons(kNoCaptionButtons);

  QWidget* client = dialog.ClientArea();
  auto* icon = new QLabel(client);
  icon->setObjectName("MessageBoxIcon");
  icon->setPixmap(view.picture != 0 ? ImageListPixmap(view.picture, kIconSize)
                                    : MessageKindPixmap(view.kind, kIconSize));
  icon->setFixedSize(kIconSize, kIconSize);
  auto* text = new QLabel(QString::fromStdString(view.text), client);
  text->setObjectName("MessageBoxText");
  text->setTextFormat(Qt::PlainText);
  text->setWordWrap(true);
  text->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  const QFontMetrics metrics(text->font());
  const int natural =
      metrics.boundingRect(QRect(0, 0, kMaxTextWidth, 10000), Qt::TextWordWrap, text->text())
          .width();
  text->setMinimumWidth(std::min(kMaxTextWidth, natural + 4));

  auto* row = new QHBoxLayout;
  row->setSpacing(12);
  row->addWidget(icon, 0, Qt::AlignTop);
  row->addWidget(text, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  MessageResult result = view.dismiss_result;
  bool first = true;
  for (const MessageBoxButtonView& b : view.buttons) {
    auto* button = new TSkinButton(QString::fromStdString(b.caption), client);
    button->setFixedSize(kButtonWidth, kButtonHeight);
    if (first) button->setDefault(true), button->setFocus();
    first = false;
    const MessageResult pressed = b.result;
    QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, &result, pressed] {
      result = pressed;
      dialog.accept();
    });
    buttons->addWidget(button);
  }

  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(12, 12, 12, 10);
  layout->setSpacing(12);
  layout->addLayout(row, 1);
  layout->addLayout(buttons);

  const QSize hint = layout->totalSizeHint();
  dialog.SetClientSize(std::max(kMinClientWidth, hint.width()),
                       std::max(hint.height(), layout->totalHeightForWidth(hint.width())));
  const QRect over = parent_ && parent_->isVisible()
                         ? parent_->frameGeometry()
                         : (QGuiApplication::primaryScreen()
                                ? QGuiApplication::primaryScreen()->availableGeometry()
                                : QRect());
  if (over.isValid()) {
    QRect box(QPoint(), dialog.size());
    box.moveCenter(over.center());
    dialog.move(box.topLeft());
  }
  dialog.exec();
  return result;
}

}  // namespace kalvira::ui
