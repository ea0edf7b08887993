#include "app/dialog_compare.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/device_comparison.h"
#include "ui/language_qt.h"
#include "ui/ui_kit_qt.h"

namespace velmora {

DialogCompare::DialogCompare(QWidget* parent, const QStringList& lines) : QDialog(parent) {
  setWindowTitle(ui::trQ("DialogCompare", kCompareCaption));
  setFont(ui::pageFont());

  heading_ = new QLabel(QString::fromStdString(compareHeading(static_cast<size_t>(lines.size()))));
  ui::setControlId(heading_, kHeadingId);
  heading_->setWordWrap(true);
  list_ = new QListWidget;
  ui::setControlId(list_, kListId);
  list_->addItems(lines);
  // Lines to read, nothing to pick: no selection, and no focus that would
  // mark a first line as if it were picked.
  list_->setSelectionMode(QAbstractItemView::NoSelection);
  list_->setFocusPolicy(Qt::NoFocus);
  // Nothing to list: the heading says it all.
  list_->setVisible(!lines.isEmpty());

  auto* load = new QPushButton(QCoreApplication::translate("DialogCompare", "载入设备配置"));
  ui::setControlId(load, kLoadButtonId);
  auto* close = new QPushButton(QCoreApplication::translate("DialogCompare", "关闭"));
  ui::setControlId(close, kCloseButtonId);
  close->setDefault(true);
  connect(load, &QPushButton::clicked, this, [this] {
    emit loadRequested();
    accept();
  });
  connect(close, &QPushButton::clicked, this, &QDialog::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(load);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading_);
  layout->addWidget(list_, 1);
  if (lines.isEmpty()) layout->addStretch(1);
  layout->addLayout(buttons);
  ui::padButtons(this);
  resize(lines.isEmpty() ? QSize(480, 180) : QSize(640, 420));
}

QString DialogCompare::heading() const { return heading_->text(); }

QStringList DialogCompare::lines() const {
  QStringList out;
  for (int i = 0; i < list_->count(); ++i) out << list_->item(i)->text();
  return out;
}

}  // namespace velmora
