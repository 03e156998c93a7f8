#include "ui/forms/addons_util_form.h"

#include <QHeaderView>

#include "ui/fonts.h"
#include "ui_addons_util_form.h"

namespace kalvira {

namespace {

constexpr int kLinkRole = Qt::UserRole;
constexpr int kColumnWidths[] = {250, 60, 60};

QTableWidgetItem* Cell(const std::string& text) {
  auto* item = new QTableWidgetItem(QString::fromStdString(text));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

}  // namespace

TfrmAddonsUtil::TfrmAddonsUtil(TMyQuery& dnvjhe, IShell& shell, ErrorReporter report,
                               QWidget* parent)
    : ui::TSkinnedDialog(parent),
      form_(std::make_unique<Ui::TfrmAddonsUtil>()),
      dnvjhe_(dnvjhe),
      shell_(shell),
      report_(std::move(report)) {
  setObjectName("frmAddonsUtil");
  form_->setupUi(ClientArea());
  // The list in the window's own face; the buttons keep the program's, which their 75
  // pixels were measured in.
  form_->lvPlugins->setFont(ui::TahomaFont());
  SetClientSize(515, 205);
  SetCaption(ClientArea()->windowTitle());
  SetCaptionButtons(ui::kNoCaptionButtons);
  QHeaderView* header = form_->lvPlugins->horizontalHeader();
  header->setSectionResizeMode(QHeaderView::Fixed);
  for (int column = 0; column < 3; ++column)
    form_->lvPlugins->setColumnWidth(column, kColumnWidths[column]);
  form_->lvPlugins->verticalHeader()->setDefaultSectionSize(18);
  connect(form_->spSkinButton1, &QPushButton::clicked, this, [this] { spSkinButton1Click(); });
  connect(form_->spSkinButton2, &QPushButton::clicked, this, [this] { reject(); });
}

TfrmAddonsUtil::~TfrmAddonsUtil() = default;

void TfrmAddonsUtil::ShowPluginList() {
  SetItems({});
  try {
    SetItems(LoadPluginList(dnvjhe_));
  } catch (...) {
    if (report_) report_(std::current_exception());
    return;
  }
  exec();
}

void TfrmAddonsUtil::SetItems(const std::vector<PluginItem>& items) {
  QTableWidget& list = *form_->lvPlugins;
  list.clearSelection();
  list.setRowCount(0);
  list.setRowCount(static_cast<int>(items.size()));
  for (int row = 0; row < static_cast<int>(items.size()); ++row) {
    const PluginItem& item = items[static_cast<std::size_t>(row)];
    QTableWidgetItem* caption = Cell(item.name);
    caption->setData(kLinkRole, QString::fromStdString(item.link));
    list.setItem(row, 0, caption);
    list.setItem(row, 1, Cell(item.size));
    list.setItem(row, 2, Cell(item.version));
  }
  list.setCurrentItem(nullptr);
}

void TfrmAddonsUtil::spSkinButton1Click() {
  const QList<QTableWidgetItem*> selected = form_->lvPlugins->selectedItems();
  if (selected.isEmpty()) return;
  const QTableWidgetItem* caption = form_->lvPlugins->item(selected.front()->row(), 0);
  shell_.OpenUrl(caption->data(kLinkRole).toString().toStdString());
}

}  // namespace kalvira
