#include "ui/forms/scan_windows.h"

#include <QCoreApplication>
#include <climits>

#include "ui/forms/genre_list_form.h"
#include "ui/forms/search_dialog.h"
#include "ui_genre_list_form.h"
#include "ui_search_dialog.h"

namespace kalvira {

namespace {

int GaugeNumber(std::size_t n) {
  return n > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n);
}

}  // namespace

void TScanWindows::ProcessEvents() {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  last_pump_ = std::chrono::steady_clock::now();
}

void TScanWindows::Pump() {
  if (std::chrono::steady_clock::now() - last_pump_ >= kPumpInterval) ProcessEvents();
}

void TScanWindows::ShowSearch(ScanKind kind) {
  if (search_ == nullptr) return;
  Ui::TfrmSearchDialog& f = search_->Form();
  if (kind == ScanKind::kSearch)
    f.Label3->setText(
        QString::fromUtf8(scan_texts::kSearchLabel3.data(), scan_texts::kSearchLabel3.size()));
  // A count left from an earlier search would be news of nothing.
  f.bprStatus->setText("0");
  search_->show();
  search_->raise();
  ProcessEvents();
}

void TScanWindows::FoundCount(std::size_t count) {
  if (search_ != nullptr) search_->Form().bprStatus->setText(QString::number(count));
}

void TScanWindows::ShowSorting(std::size_t found) {
  if (search_ != nullptr) search_->hide();
  if (sorting_ == nullptr) return;
  sorting_->Form().pb->SetValue(0);
  sorting_->Form().pb->SetMaxValue(GaugeNumber(found));
  sorting_->show();
  sorting_->raise();
  ProcessEvents();
}

void TScanWindows::SortingPosition(std::size_t index) {
  if (sorting_ != nullptr) sorting_->Form().pb->SetValue(GaugeNumber(index));
}

void TScanWindows::Ended() {
  if (search_ != nullptr) search_->hide();
  if (sorting_ != nullptr) sorting_->hide();
}

}  // namespace kalvira
