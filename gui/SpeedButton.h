#pragma once
// TSpeedButton: a small tool button with a caption and/or a 16-colour picture; OnClick runs
// under the application's default error handler.
//
// TGlyph is the picture: a form description gives it as rows of pixels, one text per row,
// one character per pixel: a hexadecimal digit picks a colour of the classic 16-colour
// palette (0 black, 1 maroon, 2 green, 3 olive, 4 navy, 5 purple, 6 teal, 7 grey, 8 silver,
// 9 red, A lime, B yellow, C blue, D fuchsia, E aqua, F white); any other character is
// transparent:
//
//   Glyph.Rows.Strings = (
//     '...0000000000...'
//     ...)

#include "gui/Control.h"
#include "runtime/Strings.h"

#include <cstdint>

namespace lumo {

class TGlyph : public TObject {
 public:
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  const TStrings& Rows() const noexcept { return rows_; }
  void SetRows(const TStrings& rows);
  bool Empty() const noexcept { return rows_.Count() == 0; }
  // As wide as the longest row, as high as there are rows; transparent where no colour is.
  Picture ToImage() const;
  // The palette colour of a pixel character as 0xAARRGGBB; 0 (transparent) for others.
  static uint32_t PixelColour(char pixel);

 private:
  TStringList rows_;
};

// A database drum with a plus: the picture of a button that adds to a database's schema.
const TStrings& DatabasePlusGlyphRows();

class TSpeedButton : public TControl, private ClickEvents {
 public:
  explicit TSpeedButton(TComponent* owner);

  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  bool Flat() const noexcept { return flat_; }
  void SetFlat(bool flat);
  TGlyph& Glyph() noexcept { return glyph_; }
  // Runs OnClick as a click of the user would.
  void Click();

  TNotifyEvent OnClick;

 protected:
  std::unique_ptr<ControlFace> CreateFace(ControlFace* parent) override;
  void CaptionChanged() override;

 private:
  void Clicked() override { Click(); }

  bool flat_ = false;
  TGlyph glyph_;
};

}  // namespace lumo
