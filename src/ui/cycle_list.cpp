#include "ui/cycle_list.h"

#include <algorithm>
#include <utility>

namespace brevane {

cycle_list::cycle_list(QString first, QObject* parent)
    : QAbstractListModel(parent), first_(std::move(first)) {}

void cycle_list::set_cycles(int cycles) {
  cycles = std::max(cycles, 0);
  if (cycles > cycles_) {
    beginInsertRows({}, cycles_ + 1, cycles);
    cycles_ = cycles;
    endInsertRows();
  } else if (cycles < cycles_) {
    beginRemoveRows({}, cycles + 1, cycles_);
    cycles_ = cycles;
    endRemoveRows();
  }
}

int cycle_list::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : cycles_ + 1;
}

QVariant cycle_list::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() > cycles_) return {};
  const int row = index.row();
  if (role == Qt::DisplayRole || role == Qt::EditRole)
    return row == 0 ? first_ : QStringLiteral("Cycle %1").arg(row);
  if (role == Qt::UserRole && row > 0) return row;
  return {};
}

bool cycle_list::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.row() != 0 || (role != Qt::DisplayRole && role != Qt::EditRole))
    return false;
  first_ = value.toString();
  emit dataChanged(index, index, {role});
  return true;
}

}  // namespace brevane
