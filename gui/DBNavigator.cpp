#include "gui/DBNavigator.h"

#include "db/DataLink.h"
#include "db/DataSet.h"
#include "db/DataSource.h"
#include "gui/Application.h"
#include "gui/DBGrid.h"
#include "gui/Dialogs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QToolButton>
#include <QWidget>

namespace lumo {

class NavigatorLink : public TDataLink {
 public:
  explicit NavigatorLink(TDBNavigator& navigator) : navigator_(navigator) {}

 protected:
  void ActiveChanged() override { navigator_.UpdateButtons(); }
  void DataSetChanged() override { navigator_.UpdateButtons(); }
  void DataSetScrolled(int /*distance*/) override { navigator_.UpdateButtons(); }
  void EditingChanged() override { navigator_.UpdateButtons(); }

 private:
  TDBNavigator& navigator_;
};

namespace {

const char* const kHints[kNavigateButtonCount] = {"First", "Prior", "Next", "Last", "Insert",
                                                  "Delete", "Edit", "Post", "Cancel", "Refresh"};

// Our own small pictures: triangles with a bar for the moving buttons, simple signs for the rest.
QPixmap ButtonPicture(TNavigateBtn button) {
  QPixmap picture(16, 16);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0x20, 0x20, 0x20));
  auto triangle = [&](double tipX, double baseX) {
    QPainterPath path;
    path.moveTo(tipX, 8);
    path.lineTo(baseX, 3);
    path.lineTo(baseX, 13);
    path.closeSubpath();
    painter.drawPath(path);
  };
  switch (button) {
    case TNavigateBtn::nbFirst:
      painter.drawRect(QRectF(3, 3, 2, 10));
      triangle(6, 12);
      break;
    case TNavigateBtn::nbPrior:
      triangle(4.5, 10.5);
      break;
    case TNavigateBtn::nbNext:
      triangle(11.5, 5.5);
      break;
    case TNavigateBtn::nbLast:
      triangle(10, 4);
      painter.drawRect(QRectF(11, 3, 2, 10));
      break;
    case TNavigateBtn::nbInsert:
      painter.drawRect(QRectF(7, 3, 2, 10));
      painter.drawRect(QRectF(3, 7, 10, 2));
      break;
    case TNavigateBtn::nbDelete:
      painter.drawRect(QRectF(3, 7, 10, 2));
      break;
    case TNavigateBtn::nbEdit:
      painter.drawRect(QRectF(3, 12, 10, 1.5));
      painter.drawPolygon(QPolygonF({QPointF(5, 11), QPointF(12, 4), QPointF(13, 5), QPointF(6, 12)}));
      break;
    case TNavigateBtn::nbPost:
      painter.setPen(QPen(QColor(0x00, 0x80, 0x00), 2));
      painter.drawPolyline(QPolygonF({QPointF(3, 8), QPointF(7, 12), QPointF(13, 4)}));
      break;
    case TNavigateBtn::nbCancel:
      painter.setPen(QPen(QColor(0x80, 0x00, 0x00), 2));
      painter.drawLine(QPointF(4, 4), QPointF(12, 12));
      painter.drawLine(QPointF(12, 4), QPointF(4, 12));
      break;
    case TNavigateBtn::nbRefresh:
      painter.setPen(QPen(QColor(0x20, 0x20, 0x20), 1.5));
      painter.setBrush(Qt::NoBrush);
      painter.drawArc(QRectF(3, 3, 10, 10), 30 * 16, 300 * 16);
      break;
  }
  return picture;
}

}  // namespace

TDBNavigator::TDBNavigator(TComponent* owner)
    : TControl(owner), link_(std::make_unique<NavigatorLink>(*this)) {
  SetBounds(0, 0, 240, 25);
}

TDBNavigator::~TDBNavigator() {
  delete Widget();
  link_.reset();
}

const ClassInfo& TDBNavigator::StaticClass() {
  using T = TDBNavigator;
  static const ClassInfo info =
      ClassBuilder<T>("TDBNavigator", &TControl::StaticClass)
          .Integer("Width", &T::Width, &T::SetWidth, 240)
          .Integer("Height", &T::Height, &T::SetHeight, 25)
          .Component("DataSource", &T::DataSource, &T::SetDataSource)
          .Set("VisibleButtons", &T::VisibleButtons, &T::SetVisibleButtons,
               {"nbFirst", "nbPrior", "nbNext", "nbLast", "nbInsert", "nbDelete", "nbEdit", "nbPost",
                "nbCancel", "nbRefresh"},
               kAllButtons)
          .Boolean("Flat", &T::Flat, &T::SetFlat, false)
          .Boolean("ConfirmDelete", &T::ConfirmDelete, &T::SetConfirmDelete, true);
  return info;
}

const ClassInfo& TDBNavigator::ClassType() const { return StaticClass(); }

TDataSource* TDBNavigator::DataSource() const { return link_->DataSource(); }

void TDBNavigator::SetDataSource(TDataSource* source) {
  if (TDataSource* old = link_->DataSource()) old->RemoveFreeNotification(this);
  link_->SetDataSource(source);
  if (source != nullptr) source->FreeNotification(this);
  UpdateButtons();
}

void TDBNavigator::NotifyComponentChange(TComponent* component, Operation operation) {
  TControl::NotifyComponentChange(component, operation);
  if (operation == Operation::kRemove && link_ && component == link_->DataSource()) {
    link_->SetDataSource(nullptr);
    UpdateButtons();
  }
}

void TDBNavigator::SetVisibleButtons(TButtonSet buttons) {
  visibleButtons_ = buttons & kAllButtons;
  LayoutButtons();
}

void TDBNavigator::SetFlat(bool flat) {
  flat_ = flat;
  for (QToolButton* button : buttons_) {
    if (button != nullptr) button->setAutoRaise(flat);
  }
}

TDataSet* TDBNavigator::ActiveDataSet() const { return link_->Active() ? link_->DataSet() : nullptr; }

bool TDBNavigator::ButtonEnabled(TNavigateBtn button) const {
  TDataSet* dataSet = ActiveDataSet();
  if (dataSet == nullptr) return false;
  bool browsing = dataSet->State() == TDataSetState::dsBrowse;
  bool editing = dataSet->State() == TDataSetState::dsEdit || dataSet->State() == TDataSetState::dsInsert;
  bool canModify = !link_->ReadOnly() && dataSet->CanModify();
  switch (button) {
    case TNavigateBtn::nbFirst:
    case TNavigateBtn::nbPrior:
      return !dataSet->Bof();
    case TNavigateBtn::nbNext:
    case TNavigateBtn::nbLast:
      return !dataSet->Eof();
    case TNavigateBtn::nbInsert:
      return canModify;
    case TNavigateBtn::nbDelete:
    case TNavigateBtn::nbEdit:
      return canModify && browsing && !dataSet->IsEmpty();
    case TNavigateBtn::nbPost:
    case TNavigateBtn::nbCancel:
      return editing;
    case TNavigateBtn::nbRefresh:
      return browsing;
  }
  return false;
}

void TDBNavigator::BtnClick(TNavigateBtn button) {
  Application.Guard([this, button] {
    TDataSet* dataSet = ActiveDataSet();
    if (dataSet == nullptr) return;
    switch (button) {
      case TNavigateBtn::nbFirst: dataSet->First(); break;
      case TNavigateBtn::nbPrior: dataSet->Prior(); break;
      case TNavigateBtn::nbNext: dataSet->Next(); break;
      case TNavigateBtn::nbLast: dataSet->Last(); break;
      case TNavigateBtn::nbInsert: dataSet->Insert(); break;
      case TNavigateBtn::nbDelete:
        if (confirmDelete_ && Confirm(TDBGrid::kDeleteQuestion) != ModalResult::kOk) return;
        dataSet->Delete();
        break;
      case TNavigateBtn::nbEdit: dataSet->Edit(); break;
      case TNavigateBtn::nbPost: dataSet->Post(); break;
      case TNavigateBtn::nbCancel: dataSet->Cancel(); break;
      case TNavigateBtn::nbRefresh: dataSet->Refresh(); break;
    }
  });
}

QWidget* TDBNavigator::CreateWidget(QWidget* parent) {
  auto* row = new QWidget(parent);
  for (int i = 0; i < kNavigateButtonCount; ++i) {
    auto kind = static_cast<TNavigateBtn>(i);
    auto* button = new QToolButton(row);
    button->setIcon(QIcon(ButtonPicture(kind)));
    button->setToolTip(kHints[i]);
    button->setAutoRaise(flat_);
    button->setFocusPolicy(Qt::NoFocus);
    QObject::connect(button, &QToolButton::clicked, button, [this, kind] { BtnClick(kind); });
    buttons_[static_cast<size_t>(i)] = button;
  }
  return row;
}

void TDBNavigator::ApplyBounds() {
  TControl::ApplyBounds();
  LayoutButtons();
  UpdateButtons();
}

void TDBNavigator::LayoutButtons() {
  if (!Realised()) return;
  int count = 0;
  for (int i = 0; i < kNavigateButtonCount; ++i) {
    if (visibleButtons_ & (1u << i)) ++count;
  }
  int left = 0;
  int shown = 0;
  for (int i = 0; i < kNavigateButtonCount; ++i) {
    QToolButton* button = buttons_[static_cast<size_t>(i)];
    bool visible = (visibleButtons_ & (1u << i)) != 0;
    button->setVisible(visible);
    if (!visible) continue;
    // The width is shared evenly; the remainder goes to the last buttons.
    ++shown;
    int right = Width() * shown / count;
    button->setGeometry(left, 0, right - left, Height());
    left = right;
  }
}

void TDBNavigator::UpdateButtons() {
  if (!Realised()) return;
  for (int i = 0; i < kNavigateButtonCount; ++i) {
    buttons_[static_cast<size_t>(i)]->setEnabled(ButtonEnabled(static_cast<TNavigateBtn>(i)));
  }
}

}  // namespace lumo
