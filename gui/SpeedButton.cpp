#include "gui/SpeedButton.h"

#include "gui/Application.h"

#include <algorithm>

namespace lumo {

namespace {

constexpr uint32_t kPalette[16] = {0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080,
                                   0xFF008080, 0xFF808080, 0xFFC0C0C0, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00,
                                   0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};

}  // namespace

// --- TGlyph --------------------------------------------------------------------------------

const ClassInfo& TGlyph::StaticClass() {
  static const ClassInfo info =
      ClassBuilder<TGlyph>("TGlyph", &TObject::StaticClass).Strings("Rows", &TGlyph::Rows, &TGlyph::SetRows);
  return info;
}

const ClassInfo& TGlyph::ClassType() const { return StaticClass(); }

void TGlyph::SetRows(const TStrings& rows) { rows_.Assign(rows); }

uint32_t TGlyph::PixelColour(char pixel) {
  if (pixel >= '0' && pixel <= '9') return kPalette[pixel - '0'];
  if (pixel >= 'A' && pixel <= 'F') return kPalette[pixel - 'A' + 10];
  if (pixel >= 'a' && pixel <= 'f') return kPalette[pixel - 'a' + 10];
  return 0;
}

Picture TGlyph::ToImage() const {
  Picture image;
  for (int row = 0; row < rows_.Count(); ++row) {
    image.width = std::max(image.width, static_cast<int>(rows_[row].size()));
  }
  image.height = rows_.Count();
  image.pixels.assign(static_cast<size_t>(image.width) * static_cast<size_t>(image.height), 0);
  for (int row = 0; row < rows_.Count(); ++row) {
    const std::string& pixels = rows_[row];
    for (size_t column = 0; column < pixels.size(); ++column) {
      image.pixels[static_cast<size_t>(row * image.width) + column] = PixelColour(pixels[column]);
    }
  }
  return image;
}

const TStrings& DatabasePlusGlyphRows() {
  static const TStringList rows = [] {
    TStringList list;
    for (const char* row : {"...0000000000...",  //
                            ".00EEEEEEEEEE00.",  //
                            "0EEEEEEEEEEEEEE0",  //
                            "00EEEEEEEEEEEE00",  //
                            "0600EEEEEEEE0060",  //
                            "0666000000006660",  //
                            "0666666666666660",  //
                            "0666666666666660",  //
                            "0666666666666660",  //
                            "066666666..000..",  //
                            "066666666..0A0..",  //
                            "006666666000A000",  //
                            ".006666660AAAAA0",  //
                            "...000000000A000",  //
                            "...........0A0..",  //
                            "...........000.."}) {
      list.Add(row);
    }
    return list;
  }();
  return rows;
}

// --- TSpeedButton --------------------------------------------------------------------------

TSpeedButton::TSpeedButton(TComponent* owner) : TControl(owner) { SetBounds(0, 0, 23, 22); }

const ClassInfo& TSpeedButton::StaticClass() {
  using T = TSpeedButton;
  static const ClassInfo info = ClassBuilder<T>("TSpeedButton", &TControl::StaticClass)
                                    .Integer("Width", &T::Width, &T::SetWidth, 23)
                                    .Integer("Height", &T::Height, &T::SetHeight, 22)
                                    .String("Caption", &T::Caption, &T::SetCaption)
                                    .Boolean("Flat", &T::Flat, &T::SetFlat, false)
                                    .Persistent("Glyph", &T::Glyph)
                                    .Event("OnClick", &T::OnClick);
  return info;
}

const ClassInfo& TSpeedButton::ClassType() const { return StaticClass(); }

void TSpeedButton::SetFlat(bool flat) {
  flat_ = flat;
  if (auto* face = static_cast<ButtonFace*>(Face())) face->SetFlat(flat);
}

void TSpeedButton::Click() {
  Application.Guard([this] { OnClick(this); });
}

std::unique_ptr<ControlFace> TSpeedButton::CreateFace(ControlFace* parent) {
  std::unique_ptr<ButtonFace> button = Toolkit().CreateButton(*parent, *this);
  button->SetFlat(flat_);
  return button;
}

void TSpeedButton::CaptionChanged() {
  auto* face = static_cast<ButtonFace*>(Face());
  if (face == nullptr) return;
  // The picture first: whether the button shows text, picture or both follows from both.
  if (!glyph_.Empty()) face->SetPicture(glyph_.ToImage());
  face->SetCaption(Caption());
}

}  // namespace lumo
