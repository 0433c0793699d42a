#pragma once
// The entries of the Maps window's Cycle and Compare with lists: a first entry ("Live",
// "Latest", "None"), then "Cycle 1" to "Cycle N", each made when the list shows it. A sweep on
// Repeat for a week has tens of thousands of cycles; a list of items would keep each one and
// be rebuilt at every new cycle. The cycle's number is each entry's Qt::UserRole.

#include <QAbstractListModel>
#include <QString>

namespace brevane {

class cycle_list final : public QAbstractListModel {
  Q_OBJECT

 public:
  cycle_list(QString first, QObject* parent);

  int cycles() const { return cycles_; }
  // Adds or removes entries at the end; the ones that stay keep their place.
  void set_cycles(int cycles);

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  // Only the first entry's text changes.
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

 private:
  QString first_;
  int cycles_ = 0;
};

}  // namespace brevane
