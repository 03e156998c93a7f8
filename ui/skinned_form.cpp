#include "ui/skinned_form.h"

#include "ui/skin_frame.h"

namespace kalvira::ui {

// Both windows forward to the one frame; only their window kinds differ.

TSkinnedForm::TSkinnedForm(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint), frame_(new TSkinFrame(this)) {
  connect(frame_->CaptionBar(), &TCaptionBar::MinimizeToTrayClicked, this,
          &TSkinnedForm::MinimizeToTrayRequested);
  connect(frame_, &TSkinFrame::RolledUpChanged, this, &TSkinnedForm::RolledUpChanged);
}

TSkinnedDialog::TSkinnedDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), frame_(new TSkinFrame(this)) {
  connect(frame_->CaptionBar(), &TCaptionBar::MinimizeToTrayClicked, this,
          &TSkinnedDialog::MinimizeToTrayRequested);
  connect(frame_, &TSkinFrame::RolledUpChanged, this, &TSkinnedDialog::RolledUpChanged);
}

QWidget* TSkinnedForm::ClientArea() const {
  return frame_->ClientArea();
}
void TSkinnedForm::SetClientSize(int width, int height) {
  frame_->SetClientSize(width, height);
}
QSize TSkinnedForm::ClientSize() const {
  return frame_->ClientSize();
}
void TSkinnedForm::SetCaption(const QString& caption) {
  frame_->CaptionBar()->SetCaption(caption);
  setWindowTitle(caption);
}
QString TSkinnedForm::Caption() const {
  return frame_->CaptionBar()->Caption();
}
void TSkinnedForm::SetCaptionButtons(CaptionButtons buttons) {
  frame_->CaptionBar()->SetButtons(buttons);
}
CaptionButtons TSkinnedForm::CaptionButtonsShown() const {
  return frame_->CaptionBar()->Buttons();
}
TCaptionBar* TSkinnedForm::CaptionBar() const {
  return frame_->CaptionBar();
}
void TSkinnedForm::SetAlphaBlend(bool on) {
  frame_->SetAlphaBlend(on);
}
bool TSkinnedForm::AlphaBlend() const {
  return frame_->AlphaBlend();
}
void TSkinnedForm::SetAlphaBlendValue(int value) {
  frame_->SetAlphaBlendValue(value);
}
int TSkinnedForm::AlphaBlendValue() const {
  return frame_->AlphaBlendValue();
}
void TSkinnedForm::SetRolledUp(bool rolled_up) {
  frame_->SetRolledUp(rolled_up);
}
bool TSkinnedForm::RolledUp() const {
  return frame_->RolledUp();
}

QWidget* TSkinnedDialog::ClientArea() const {
  return frame_->ClientArea();
}
void TSkinnedDialog::SetClientSize(int width, int height) {
  frame_->SetClientSize(width, height);
}
QSize TSkinnedDialog::ClientSize() const {
  return frame_->ClientSize();
}
void TSkinnedDialog::SetCaption(const QString& caption) {
  frame_->CaptionBar()->SetCaption(caption);
  setWindowTitle(caption);
}
QString TSkinnedDialog::Caption() const {
  return frame_->CaptionBar()->Caption();
}
void TSkinnedDialog::SetCaptionButtons(CaptionButtons buttons) {
  frame_->CaptionBar()->SetButtons(buttons);
}
CaptionButtons TSkinnedDialog::CaptionButtonsShown() const {
  return frame_->CaptionBar()->Buttons();
}
TCaptionBar* TSkinnedDialog::CaptionBar() const {
  return frame_->CaptionBar();
}
void TSkinnedDialog::SetAlphaBlend(bool on) {
  frame_->SetAlphaBlend(on);
}
bool TSkinnedDialog::AlphaBlend() const {
  return frame_->AlphaBlend();
}
void TSkinnedDialog::SetAlphaBlendValue(int value) {
  frame_->SetAlphaBlendValue(value);
}
int TSkinnedDialog::AlphaBlendValue() const {
  return frame_->AlphaBlendValue();
}
void TSkinnedDialog::SetRolledUp(bool rolled_up) {
  frame_->SetRolledUp(rolled_up);
}
bool TSkinnedDialog::RolledUp() const {
  return frame_->RolledUp();
}

}  // namespace kalvira::ui
