// A label of lines in the HTML subset (ui/html_subset.h): the chat feed of the main window
// and of the chat room. The lines are rendered together, joined as they are (callers end
// their lines with "<br>"); only the subset's tags act, so a listener's message cannot
// bring images, links or layout. Repaints whenever the lines change; emits clicked() on a
// left click. White text on a transparent background comes from the skin
// (`kalvira--ui--THtmlLabel`).
//
// Threads: the user-interface thread only.
#pragma once

#include <QLabel>
#include <QStringList>

namespace kalvira::ui {

class THtmlLabel : public QLabel {
  Q_OBJECT

 public:
  explicit THtmlLabel(QWidget* parent = nullptr);

  void Clear();
  void Append(const QString& line);
  const QStringList& Lines() const { return lines_; }
  // The rich text shown: the joined lines through the subset converter.
  QString RenderedText() const { return text(); }

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Render();

  QStringList lines_;
  bool pressed_ = false;
};

}  // namespace kalvira::ui
