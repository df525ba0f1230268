// The grid's face: a table view over a model that reads the component's row cache, fetching
// more rows from it as the user scrolls.

#include "gui/qt/Faces.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTableView>

namespace lumo::qt {

namespace {

class GridModel : public QAbstractTableModel {
 public:
  GridModel(GridSource& source, QObject* parent) : QAbstractTableModel(parent), source_(source) {}

  void BeginReset() { beginResetModel(); }
  void EndReset() { endResetModel(); }
  void BeginInsert(int first, int last) { beginInsertRows(QModelIndex(), first, last); }
  void EndInsert() { endInsertRows(); }
  void Changed(int row) { emit dataChanged(index(row, 0), index(row, columnCount() - 1)); }

  int rowCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : source_.RowCount();
  }
  int columnCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : source_.ColumnCount();
  }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    return Text(source_.Text(index.row(), index.column()));
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return QString();
    return Text(source_.Title(section));
  }
  bool canFetchMore(const QModelIndex& parent) const override { return !parent.isValid() && source_.CanFetchMore(); }
  void fetchMore(const QModelIndex& parent) override {
    if (!parent.isValid()) source_.FetchMore();
  }

 private:
  GridSource& source_;
};

// The view: keys and focus that mean something to the grid.
class GridView : public QTableView {
 public:
  GridView(GridSource& source, QWidget* parent) : QTableView(parent), source_(source) {}

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    if (event->key() == Qt::Key_Delete && (event->modifiers() & Qt::ControlModifier)) {
      source_.DeletePressed();
      return;
    }
    QTableView::keyPressEvent(event);
  }
  void focusOutEvent(QFocusEvent* event) override {
    QTableView::focusOutEvent(event);
    source_.FocusLeft();
  }

 private:
  GridSource& source_;
};

class QtGridFace : public WidgetFace<GridFace, GridView> {
 public:
  QtGridFace(QWidget* parent, GridSource& source) : WidgetFace(new GridView(source, parent)) {
    // The model goes with the view.
    model_ = new GridModel(source, widget_.data());
    widget_->setModel(model_.data());
    widget_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    widget_->setSelectionMode(QAbstractItemView::SingleSelection);
    widget_->setWordWrap(false);
    widget_->verticalHeader()->setDefaultSectionSize(widget_->fontMetrics().height() + 4);
    QObject::connect(widget_->selectionModel(), &QItemSelectionModel::currentRowChanged, widget_.data(),
                     [&source](const QModelIndex& current, const QModelIndex&) {
                       if (current.isValid()) source.RowSelected(current.row());
                     });
  }

  void SetLook(const GridLook& look) override {
    if (!widget_) return;
    widget_->horizontalHeader()->setVisible(look.titles);
    widget_->verticalHeader()->setVisible(look.indicator);
    widget_->setShowGrid(look.lines);
    widget_->horizontalHeader()->setSectionResizeMode(look.resizableColumns ? QHeaderView::Interactive
                                                                            : QHeaderView::Fixed);
    widget_->setTabKeyNavigation(look.tabs);
    widget_->setSelectionBehavior(look.rowSelect ? QAbstractItemView::SelectRows : QAbstractItemView::SelectItems);
  }
  void BeginReset() override {
    if (model_) model_->BeginReset();
  }
  void EndReset() override {
    if (model_) model_->EndReset();
  }
  void BeginInsertRows(int first, int last) override {
    if (model_) model_->BeginInsert(first, last);
  }
  void EndInsertRows() override {
    if (model_) model_->EndInsert();
  }
  void RowChanged(int row) override {
    if (model_) model_->Changed(row);
  }
  void SetColumnWidth(int column, int width) override {
    if (widget_) widget_->setColumnWidth(column, width);
  }
  void SelectRow(int row) override {
    if (!widget_) return;
    if (row >= 0) {
      widget_->selectRow(row);
      widget_->scrollTo(model_->index(row, 0));
    } else {
      widget_->clearSelection();
    }
  }
  int SelectedRow() const override {
    if (!widget_) return -1;
    QModelIndexList rows = widget_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
  }

 private:
  QPointer<GridModel> model_;
};

}  // namespace

std::unique_ptr<GridFace> MakeGridFace(ControlFace& parent, GridSource& source) {
  return std::make_unique<QtGridFace>(WidgetOf(parent), source);
}

}  // namespace lumo::qt
