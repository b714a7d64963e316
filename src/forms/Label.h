#pragma once
#include <cstdint>
#include <string>

#include "forms/Control.h"

namespace lectryn::forms {

struct Font {
  std::u16string name = u"MS Sans Serif";
  double sizePoints = 8.25;
  bool bold = false;
  bool underline = false;
  bool operator==(const Font&) const = default;
};

// Colours as 0x00BBGGRR, as the platform writes them.
constexpr uint32_t kBlack = 0x000000;

class Label : public Control {
 public:
  Label(std::string name, std::u16string caption) : Control(std::move(name)), caption_(std::move(caption)) {}

  const std::u16string& Caption() const { return caption_; }
  void SetCaption(std::u16string caption) { Set(caption_, std::move(caption), Property::Caption); }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { Set(visible_, visible, Property::Visible); }
  uint32_t ForeColor() const { return foreColor_; }
  void SetForeColor(uint32_t colour) { Set(foreColor_, colour, Property::ForeColor); }
  const forms::Font& GetFont() const { return font_; }
  void SetFont(forms::Font font) { Set(font_, std::move(font), Property::Font); }
  const std::u16string& ToolTipText() const { return toolTip_; }
  void SetToolTipText(std::u16string tip) { Set(toolTip_, std::move(tip), Property::ToolTipText); }
  // With mnemonics the caption's "&x" is an access key that moves the focus to the next control in
  // tab order, the control the label names; without, an ampersand is shown as it is. Read when the
  // window is made.
  bool UseMnemonic() const { return useMnemonic_; }
  void SetUseMnemonic(bool use) { useMnemonic_ = use; }

  void Click() const { Fire(OnClick); }
  Handler OnClick;

 private:
  std::u16string caption_;
  bool visible_ = true;
  uint32_t foreColor_ = kBlack;
  forms::Font font_;
  std::u16string toolTip_;
  bool useMnemonic_ = false;
};

// A frame groups controls; their positions are relative to it.
class Frame : public Control {
 public:
  Frame(std::string name, std::u16string caption) : Control(std::move(name)), caption_(std::move(caption)) {}
  const std::u16string& Caption() const { return caption_; }
  void SetCaption(std::u16string caption) { Set(caption_, std::move(caption), Property::Caption); }

 private:
  std::u16string caption_;
};

// A straight line from (x1, y1) to (x2, y2) in twips.
class Line : public Control {
 public:
  Line(std::string name, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour)
      : Control(std::move(name)), x1_(x1), y1_(y1), x2_(x2), y2_(y2), colour_(colour) {}
  int32_t X1() const { return x1_; }
  int32_t Y1() const { return y1_; }
  int32_t X2() const { return x2_; }
  int32_t Y2() const { return y2_; }
  uint32_t BorderColor() const { return colour_; }

 private:
  int32_t x1_, y1_, x2_, y2_;
  uint32_t colour_;
};

}  // namespace lectryn::forms
