#include "desktop/ControlWidgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTextCursor>
#include <cmath>
#include <functional>

#include "desktop/EmbeddedView.h"
#include "desktop/LineBreaks.h"
#include "forms/BrowserSite.h"
#include "forms/CheckBox.h"
#include "forms/ComboBox.h"
#include "forms/CommandButton.h"
#include "forms/SpinBox.h"
#include "forms/TextBox.h"

namespace lectryn::desktop {

int PixelsOfTwips(int twips, int twipsPerPixel) {
  return static_cast<int>(std::lround(static_cast<double>(twips) / twipsPerPixel));
}

QFont QtFontOf(const forms::Font& font) {
  QFont qtFont = QApplication::font();
  QString family = QString::fromStdU16String(font.name);
  if (QFontDatabase::families().contains(family)) qtFont.setFamily(family);
  qtFont.setPointSizeF(font.sizePoints);
  qtFont.setBold(font.bold);
  qtFont.setUnderline(font.underline);
  return qtFont;
}

ControlBinding::ControlBinding(forms::Control& control, const ControlPlacement& placement)
    : control_(&control),
      placement_(placement),
      subscription_(control, [this](forms::Property property) { Follow(property); }) {}

void ControlBinding::Abandon() {
  abandoned_ = true;
  subscription_.Abandon();
}

QRect ControlBinding::PixelRect() const {
  const forms::TwipsRect& rect = control_->Position();
  int perPixel = placement_.twipsPerPixel;
  return {PixelsOfTwips(rect.left, perPixel) + placement_.offsetPx.x(),
          PixelsOfTwips(rect.top, perPixel) + placement_.offsetPx.y(), PixelsOfTwips(rect.width, perPixel),
          PixelsOfTwips(rect.height, perPixel)};
}

namespace {

QString ToQ(const std::u16string& text) {
  return QString::fromStdU16String(text);
}

// A label takes its own presses (they are not the form's background) and clicks on release.
class ClickableLabel : public QLabel {
 public:
  using QLabel::QLabel;
  std::function<void()> onClick;

 protected:
  void mousePressEvent(QMouseEvent* event) override { event->accept(); }
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick)
      onClick();
  }
};

class LabelBinding : public ControlBinding {
 public:
  LabelBinding(forms::Label& label, const ControlPlacement& placement)
      : ControlBinding(label, placement), label_(label), widget_(new ClickableLabel(placement.client)) {
    widget_->setObjectName(QString::fromStdString(label.Name()));
    widget_->setTextFormat(Qt::PlainText);
    widget_->setWordWrap(true);
    widget_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    widget_->onClick = [this] {
      if (!Abandoned()) label_.Click();
    };
    for (auto property : {forms::Property::Caption, forms::Property::ForeColor, forms::Property::Font,
                          forms::Property::ToolTipText, forms::Property::Position, forms::Property::Visible})
      Follow(property);
  }
  QWidget* Widget() const override { return widget_; }

 protected:
  void Follow(forms::Property property) override {
    switch (property) {
      case forms::Property::Caption:
        widget_->setText(ToQ(label_.Caption()));
        break;
      case forms::Property::ForeColor: {
        uint32_t colour = label_.ForeColor();  // 0x00BBGGRR
        QPalette palette = widget_->palette();
        palette.setColor(QPalette::WindowText,
                         QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
        widget_->setPalette(palette);
        break;
      }
      case forms::Property::Font:
        widget_->setFont(QtFontOf(label_.GetFont()));
        break;
      case forms::Property::ToolTipText:
        widget_->setToolTip(ToQ(label_.ToolTipText()));
        break;
      case forms::Property::Position:
        widget_->setGeometry(PixelRect());
        break;
      case forms::Property::Visible:
        widget_->setVisible(label_.Visible());
        break;
      default:
        break;
    }
  }

 private:
  forms::Label& label_;
  ClickableLabel* widget_;
};

class FrameBinding : public ControlBinding {
 public:
  FrameBinding(forms::Frame& frame, const ControlPlacement& placement)
      : ControlBinding(frame, placement), frame_(frame), widget_(new QGroupBox(placement.client)) {
    widget_->setObjectName(QString::fromStdString(frame.Name()));
    Follow(forms::Property::Caption);
    Follow(forms::Property::Position);
    widget_->lower();  // under the controls drawn in it
  }
  QWidget* Widget() const override { return widget_; }

 protected:
  void Follow(forms::Property property) override {
    if (property == forms::Property::Caption) widget_->setTitle(ToQ(frame_.Caption()));
    if (property == forms::Property::Position) widget_->setGeometry(PixelRect());
  }

 private:
  forms::Frame& frame_;
  QGroupBox* widget_;
};

class LineWidget : public QWidget {
 public:
  LineWidget(QWidget* parent, QLine line, QColor colour) : QWidget(parent), line_(line), colour_(colour) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    QRect bounds = QRect(line.p1(), line.p2()).normalized().adjusted(0, 0, 1, 1);
    setGeometry(bounds);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setPen(colour_);
    painter.drawLine(line_.translated(-pos()));
  }

 private:
  QLine line_;
  QColor colour_;
};

class LineBinding : public ControlBinding {
 public:
  LineBinding(forms::Line& line, const ControlPlacement& placement) : ControlBinding(line, placement) {
    int perPixel = placement.twipsPerPixel;
    QPoint offset = placement.offsetPx;
    QLine pixels(QPoint(PixelsOfTwips(line.X1(), perPixel), PixelsOfTwips(line.Y1(), perPixel)) + offset,
                 QPoint(PixelsOfTwips(line.X2(), perPixel), PixelsOfTwips(line.Y2(), perPixel)) + offset);
    uint32_t colour = line.BorderColor();
    widget_ = new LineWidget(placement.client, pixels,
                             QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF));
    widget_->setObjectName(QString::fromStdString(line.Name()));
  }
  QWidget* Widget() const override { return widget_; }

 protected:
  void Follow(forms::Property) override {}

 private:
  LineWidget* widget_ = nullptr;
};

class ButtonBinding : public ControlBinding {
 public:
  ButtonBinding(forms::CommandButton& button, const ControlPlacement& placement)
      : ControlBinding(button, placement), button_(button), widget_(new QPushButton(placement.client)) {
    widget_->setObjectName(QString::fromStdString(button.Name()));
    widget_->setAutoDefault(false);
    QObject::connect(widget_, &QPushButton::clicked, this, [this] {
      if (!Abandoned()) button_.Click();
    });
    for (auto property : {forms::Property::Caption, forms::Property::Enabled, forms::Property::Visible,
                          forms::Property::Default, forms::Property::Position})
      Follow(property);
  }
  QWidget* Widget() const override { return widget_; }

 protected:
  void Follow(forms::Property property) override {
    switch (property) {
      case forms::Property::Caption:
        widget_->setText(ToQ(button_.Caption()));
        break;
      case forms::Property::Enabled:
        widget_->setEnabled(button_.Enabled());
        break;
      case forms::Property::Visible:
        widget_->setVisible(button_.Visible());
        break;
      case forms::Property::Default:
        widget_->setDefault(button_.Default());
        break;
      case forms::Property::Position:
        widget_->setGeometry(PixelRect());
        break;
      default:
        break;  // Escape reaches the cancel button through the form
    }
  }

 private:
  forms::CommandButton& button_;
  QPushButton* widget_;
};

class CheckBinding : public ControlBinding {
 public:
  CheckBinding(forms::CheckBox& check, const ControlPlacement& placement)
      : ControlBinding(check, placement), check_(check), widget_(new QCheckBox(placement.client)) {
    widget_->setObjectName(QString::fromStdString(check.Name()));
    // clicked() comes from the user only; the model toggles its own value as Qt did the widget's.
    QObject::connect(widget_, &QCheckBox::clicked, this, [this] {
      if (Abandoned()) return;
      check_.Click();
      Follow(forms::Property::Value);  // a handler may have refused the change
    });
    for (auto property : {forms::Property::Caption, forms::Property::Value, forms::Property::Position})
      Follow(property);
  }
  QWidget* Widget() const override { return widget_; }

 protected:
  void Follow(forms::Property property) override {
    switch (property) {
      case forms::Property::Caption:
        widget_->setText(ToQ(check_.Caption()));
        break;
      case forms::Property::Value:
        widget_->setChecked(check_.Value() == forms::vbChecked);
        break;
      case forms::Property::Position:
        widget_->setGeometry(PixelRect());
        break;
      default:
        break;
    }
  }

 private:
  forms::CheckBox& check_;
  QCheckBox* widget_;
};

// Text, selection and focus both ways. `applying_` marks changes made from the model, `writing_`
// changes made to it, so neither echoes back.
class TextBinding : public ControlBinding {
 public:
  TextBinding(forms::TextBox& box, const ControlPlacement& placement)
      : ControlBinding(box, placement), box_(box) {
    if (box.MultiLine())
      MakeMultiLine();
    else
      MakeSingleLine();
    widget_->setObjectName(QString::fromStdString(box.Name()));
    widget_->installEventFilter(this);
    for (auto property : {forms::Property::Text, forms::Property::Position, forms::Property::Focus})
      Follow(property);
  }
  QWidget* Widget() const override { return widget_; }

 protected:
  void Follow(forms::Property property) override {
    if (writing_) return;
    switch (property) {
      case forms::Property::Text:
        ApplyText();
        break;
      case forms::Property::Selection:
        ApplySelection();
        break;
      case forms::Property::Position:
        widget_->setGeometry(PixelRect());
        break;
      case forms::Property::Focus:
        if (box_.HasFocus() && !widget_->hasFocus()) widget_->setFocus(Qt::OtherFocusReason);
        if (!box_.HasFocus() && widget_->hasFocus()) widget_->clearFocus();
        break;
      default:
        break;
    }
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (Abandoned() || applying_) return false;
    if (watched == plain_ && event->type() == QEvent::KeyPress)
      return EnterInMultiLine(*static_cast<QKeyEvent*>(event));
    if (watched == widget_ && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
      Write([&] { box_.SetFocus(event->type() == QEvent::FocusIn); });
    if (event->type() == QEvent::MouseButtonRelease) box_.Click();
    return false;
  }

 private:
  void MakeSingleLine() {
    line_ = new QLineEdit(Placement().client);
    widget_ = line_;
    QObject::connect(line_, &QLineEdit::textEdited, this, [this] { WriteText(); });
    QObject::connect(line_, &QLineEdit::selectionChanged, this, [this] { WriteSelection(); });
    QObject::connect(line_, &QLineEdit::cursorPositionChanged, this, [this] { WriteSelection(); });
  }

  // As on the platform, Enter in a multi-line box presses the form's default button when it has one;
  // Ctrl+Enter always breaks the line. True when the key was handled here.
  bool EnterInMultiLine(QKeyEvent& key) {
    if (key.key() != Qt::Key_Return && key.key() != Qt::Key_Enter) return false;
    if (key.modifiers() & Qt::ControlModifier) {
      plain_->insertPlainText(QStringLiteral("\n"));
      return true;
    }
    QKeyEvent toForm(QEvent::KeyPress, key.key(), key.modifiers(), key.text());
    toForm.ignore();
    QCoreApplication::sendEvent(plain_->window(), &toForm);
    return toForm.isAccepted();
  }

  void MakeMultiLine() {
    plain_ = new QPlainTextEdit(Placement().client);
    widget_ = plain_;
    plain_->installEventFilter(this);
    forms::ScrollBars bars = box_.GetScrollBars();
    bool vertical = bars == forms::ScrollBars::Vertical || bars == forms::ScrollBars::Both;
    bool horizontal = bars == forms::ScrollBars::Horizontal || bars == forms::ScrollBars::Both;
    plain_->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    plain_->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    // Without a horizontal bar the platform's box wraps its lines.
    plain_->setLineWrapMode(horizontal ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
    plain_->viewport()->installEventFilter(this);
    QObject::connect(plain_, &QPlainTextEdit::textChanged, this, [this] { WriteText(); });
    QObject::connect(plain_, &QPlainTextEdit::selectionChanged, this, [this] { WriteSelection(); });
    QObject::connect(plain_, &QPlainTextEdit::cursorPositionChanged, this, [this] { WriteSelection(); });
  }

  std::u16string WidgetText() const {
    return line_ ? line_->text().toStdU16String() : plain_->toPlainText().toStdU16String();
  }

  template <class Step>
  void Write(Step&& step) {
    writing_ = true;
    step();
    writing_ = false;
  }

  void WriteText() {
    if (applying_ || Abandoned()) return;
    std::u16string text = WidgetText();
    Write([&] { box_.SetText(line_ ? text : ModelText(text)); });
    WriteSelection();
  }

  void WriteSelection() {
    if (applying_ || Abandoned()) return;
    int start = 0;
    int end = 0;
    if (line_) {
      start = line_->hasSelectedText() ? line_->selectionStart() : line_->cursorPosition();
      end = line_->hasSelectedText() ? line_->selectionEnd() : start;
    } else {
      QTextCursor cursor = plain_->textCursor();
      start = cursor.selectionStart();
      end = cursor.selectionEnd();
    }
    const std::u16string& text = box_.Text();
    int modelStart = line_ ? start : ModelOffset(text, start);
    int modelEnd = line_ ? end : ModelOffset(text, end);
    Write([&] {
      box_.SetSelStart(modelStart);
      box_.SetSelLength(modelEnd - modelStart);
    });
  }

  void ApplyText() {
    QString text = ToQ(line_ ? box_.Text() : EditorText(box_.Text()));
    applying_ = true;
    if (line_ && line_->text() != text) line_->setText(text);
    if (plain_ && plain_->toPlainText() != text) plain_->setPlainText(text);
    applying_ = false;
    ApplySelection();
  }

  void ApplySelection() {
    const std::u16string& text = box_.Text();
    int start = box_.SelStart();
    int end = start + box_.SelLength();
    applying_ = true;
    if (line_) {
      if (end > start)
        line_->setSelection(start, end - start);
      else
        line_->setCursorPosition(start);
    } else {
      QTextCursor cursor = plain_->textCursor();
      cursor.setPosition(EditorOffset(text, start));
      cursor.setPosition(EditorOffset(text, end), QTextCursor::KeepAnchor);
      plain_->setTextCursor(cursor);
    }
    applying_ = false;
  }

  forms::TextBox& box_;
  QWidget* widget_ = nullptr;
  QLineEdit* line_ = nullptr;
  QPlainTextEdit* plain_ = nullptr;
  bool applying_ = false;
  bool writing_ = false;
};

// A control the user sets a value in. The model's own changes are shown with the widget's signals
// blocked, so they never fire the model's handler; the user's input goes to the model, which may
// keep another value than the one given, and the widget then shows the one kept.
template <class ControlModel, class QtWidget>
class InputBinding : public ControlBinding {
 public:
  InputBinding(ControlModel& model, const ControlPlacement& placement)
      : ControlBinding(model, placement), model_(model), widget_(new QtWidget(placement.client)) {
    widget_->setObjectName(QString::fromStdString(model.Name()));
  }
  QWidget* Widget() const override { return widget_; }

 protected:
  // The list (where the control has one) or the value changed.
  virtual void ShowValue(forms::Property property) = 0;
  void FollowAll() {
    for (auto property :
         {forms::Property::List, forms::Property::Value, forms::Property::Enabled, forms::Property::Position})
      Follow(property);
  }
  template <class Give>
  void Input(Give&& give) {
    if (Abandoned()) return;
    give();
    Follow(forms::Property::Value);
  }
  void Follow(forms::Property property) override {
    QSignalBlocker quiet(widget_);
    if (property == forms::Property::List || property == forms::Property::Value) ShowValue(property);
    if (property == forms::Property::Enabled) widget_->setEnabled(model_.Enabled());
    if (property == forms::Property::Position) widget_->setGeometry(PixelRect());
  }

  ControlModel& model_;
  QtWidget* widget_;
};

// Only a pick by the user (activated) reaches the model as a choice.
class ComboBinding : public InputBinding<forms::ComboBox, QComboBox> {
 public:
  ComboBinding(forms::ComboBox& combo, const ControlPlacement& placement) : InputBinding(combo, placement) {
    QObject::connect(widget_, &QComboBox::activated, this,
                     [this](int index) { Input([&] { model_.Choose(index); }); });
    FollowAll();
    Follow(forms::Property::Visible);
  }

 protected:
  void Follow(forms::Property property) override {
    if (property == forms::Property::Visible) widget_->setVisible(model_.Visible());
    InputBinding::Follow(property);
  }
  void ShowValue(forms::Property property) override {
    if (property == forms::Property::List) {
      widget_->clear();
      for (const std::u16string& item : model_.List()) widget_->addItem(ToQ(item));
    }
    widget_->setCurrentIndex(model_.ListIndex());
  }
};

// A typed number reaches the model once it is complete (Enter or leaving the box), an arrow's step
// at once.
class SpinBinding : public InputBinding<forms::SpinBox, QSpinBox> {
 public:
  SpinBinding(forms::SpinBox& spin, const ControlPlacement& placement) : InputBinding(spin, placement) {
    widget_->setKeyboardTracking(false);
    widget_->setRange(spin.Min(), spin.Max());
    widget_->setSingleStep(spin.SmallChange());
    widget_->setAlignment(Qt::AlignRight);
    QObject::connect(widget_, &QSpinBox::valueChanged, this,
                     [this](int value) { Input([&] { model_.Enter(value); }); });
    FollowAll();
  }

 protected:
  void ShowValue(forms::Property) override { widget_->setValue(model_.Value()); }
};

// The browser object owns its view; the window only borrows it while the site holds the browser.
class BrowserBinding : public ControlBinding {
 public:
  BrowserBinding(forms::BrowserSite& site, const ControlPlacement& placement)
      : ControlBinding(site, placement), site_(site) {
    Follow(forms::Property::Browser);
  }
  ~BrowserBinding() override { Release(); }
  QWidget* Widget() const override { return view_; }

 protected:
  void Follow(forms::Property property) override {
    if (property == forms::Property::Browser) {
      Release();
      auto* embedded = dynamic_cast<EmbeddedView*>(site_.Browser().get());
      view_ = embedded ? embedded->View() : nullptr;
      if (!view_) return;
      view_->setParent(Placement().client);
      view_->setGeometry(PixelRect());
      view_->show();
    }
    if (property == forms::Property::Position && view_) view_->setGeometry(PixelRect());
  }

 private:
  void Release() {
    if (view_ && view_->parentWidget() == Placement().client) {
      view_->hide();
      view_->setParent(nullptr);
    }
    view_ = nullptr;
  }

  forms::BrowserSite& site_;
  QPointer<QWidget> view_;
};

}  // namespace

std::unique_ptr<ControlBinding> BindControl(forms::Control& control, const ControlPlacement& placement) {
  if (auto* label = dynamic_cast<forms::Label*>(&control))
    return std::make_unique<LabelBinding>(*label, placement);
  if (auto* frame = dynamic_cast<forms::Frame*>(&control))
    return std::make_unique<FrameBinding>(*frame, placement);
  if (auto* line = dynamic_cast<forms::Line*>(&control))
    return std::make_unique<LineBinding>(*line, placement);
  if (auto* button = dynamic_cast<forms::CommandButton*>(&control))
    return std::make_unique<ButtonBinding>(*button, placement);
  if (auto* check = dynamic_cast<forms::CheckBox*>(&control))
    return std::make_unique<CheckBinding>(*check, placement);
  if (auto* box = dynamic_cast<forms::TextBox*>(&control))
    return std::make_unique<TextBinding>(*box, placement);
  if (auto* combo = dynamic_cast<forms::ComboBox*>(&control))
    return std::make_unique<ComboBinding>(*combo, placement);
  if (auto* spin = dynamic_cast<forms::SpinBox*>(&control))
    return std::make_unique<SpinBinding>(*spin, placement);
  if (auto* site = dynamic_cast<forms::BrowserSite*>(&control))
    return std::make_unique<BrowserBinding>(*site, placement);
  return nullptr;
}

}  // namespace lectryn::desktop
