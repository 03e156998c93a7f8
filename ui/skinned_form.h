// The program's skinned windows: TSkinnedForm, a frameless tool window, and
// TSkinnedDialog, the same frame on a modal dialog. Both draw their own caption bar (the
// title and, as chosen, the roll-up and minimise-to-tray buttons), cannot be resized (the
// client area has exactly the size set, the window is the client plus the caption and the
// border), move when the caption is dragged (the platform's window move, so it works on
// X11 and Wayland, with a manual move where the platform has none) and snap to the edges
// of the screen's available area within 10 pixels when let go. Their opacity changes are
// animated (150 ms).
//
// Put the window's content into ClientArea() (give it a layout, or place children at
// fixed positions). The roll-up button collapses the window to its caption and back;
// the minimise-to-tray button only emits MinimizeToTrayRequested(): the owner hides.
//
// Threads: the user-interface thread only.
#pragma once

#include <QDialog>
#include <QWidget>

#include "ui/caption_bar.h"

namespace kalvira::ui {

class TSkinFrame;

class TSkinnedForm : public QWidget {
  Q_OBJECT

 public:
  explicit TSkinnedForm(QWidget* parent = nullptr);

  QWidget* ClientArea() const;
  void SetClientSize(int width, int height);
  QSize ClientSize() const;

  void SetCaption(const QString& caption);
  QString Caption() const;
  void SetCaptionButtons(CaptionButtons buttons);
  CaptionButtons CaptionButtonsShown() const;
  TCaptionBar* CaptionBar() const;

  // Opacity: with alpha blending on, the window's opacity moves to value / 255; with it
  // off, to fully opaque. AlphaBlendValue() is the target, at once.
  void SetAlphaBlend(bool on);
  bool AlphaBlend() const;
  void SetAlphaBlendValue(int value);
  int AlphaBlendValue() const;

  void SetRolledUp(bool rolled_up);
  bool RolledUp() const;

 signals:
  void MinimizeToTrayRequested();
  void RolledUpChanged(bool rolled_up);

 private:
  TSkinFrame* frame_;
};

class TSkinnedDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TSkinnedDialog(QWidget* parent = nullptr);

  QWidget* ClientArea() const;
  void SetClientSize(int width, int height);
  QSize ClientSize() const;

  void SetCaption(const QString& caption);
  QString Caption() const;
  void SetCaptionButtons(CaptionButtons buttons);
  CaptionButtons CaptionButtonsShown() const;
  TCaptionBar* CaptionBar() const;

  void SetAlphaBlend(bool on);
  bool AlphaBlend() const;
  void SetAlphaBlendValue(int value);
  int AlphaBlendValue() const;

  void SetRolledUp(bool rolled_up);
  bool RolledUp() const;

 signals:
  void MinimizeToTrayRequested();
  void RolledUpChanged(bool rolled_up);

 private:
  TSkinFrame* frame_;
};

}  // namespace kalvira::ui
