// TfrmMP3ID3TagByGenreGenerateList: the window shown while the music scan sorts the
// found files into the station lists: "Подождите еще чуть-чуть..." and the gauge pb,
// whose maximum is the number of found files and whose value the index of the file last
// accepted. Not modal, without caption buttons, centred on the screen when shown. The
// scan drives it through TScanWindows (scan_windows.h).
//
// Threads: the user-interface thread only.
#pragma once

#include <memory>

#include "ui/skinned_form.h"

namespace Ui {
class TfrmMP3ID3TagByGenreGenerateList;
}

namespace kalvira {

class TfrmMP3ID3TagByGenreGenerateList : public ui::TSkinnedForm {
  Q_OBJECT

 public:
  explicit TfrmMP3ID3TagByGenreGenerateList(QWidget* parent = nullptr);
  ~TfrmMP3ID3TagByGenreGenerateList() override;

  Ui::TfrmMP3ID3TagByGenreGenerateList& Form() { return *form_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  std::unique_ptr<Ui::TfrmMP3ID3TagByGenreGenerateList> form_;
};

}  // namespace kalvira
