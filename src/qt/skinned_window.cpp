#include "qt/skinned_window.h"
#include "qt/qt_text.h"

#include <QApplication>
#include <QCloseEvent>
#include <QColorDialog>
#include <QCursor>
#include <QDialog>
#include <QEventLoop>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>
#include <QWindow>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "core/ui/fonts.h"

namespace vm31::qt {
namespace {

// The id a child widget (or a list's viewport) carries.
constexpr const char* kControlIdProperty = "vm31ControlId";
constexpr int kHoverRestMs = 10;

QColor ToQColor(Rgb colour) {
  return QColor(colour.red, colour.green, colour.blue);
}

QRect ToQRect(const Rect& rect) {
  return QRect(rect.left, rect.top, rect.width(), rect.height());
}

Point ToPoint(QPoint point) {
  return Point{point.x(), point.y()};
}

int AlignmentFlags(TextFormat format) {
  switch (format) {
    case TextFormat::kLeft:
      return Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    case TextFormat::kCentre:
      return Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine;
    case TextFormat::kRight:
      return Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine;
    case TextFormat::kTopCentre:
      return Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine;
    case TextFormat::kWordWrap:
      return Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
  }
  return Qt::AlignLeft;
}

// The smallest pixel size a text shrinks to before it is cut with an ellipsis.
constexpr int kSmallestFittedPixelSize = 7;

struct FittedLine {
  QFont font;
  QString text;
  bool asGiven = true;  // the text fits in the given font; false when shrunk or cut
};

// One line of `text` fitted to `width`: in `font` when it fits, else in the largest smaller size
// of the same face that fits, else cut with an ellipsis at the smallest size.
FittedLine FitLine(const QFont& font, const QString& text, int width) {
  FittedLine fitted{font, text, true};
  if (QFontMetrics(font).horizontalAdvance(text) <= width) return fitted;
  fitted.asGiven = false;
  for (int size = font.pixelSize() - 1; size >= kSmallestFittedPixelSize; --size) {
    fitted.font.setPixelSize(size);
    if (QFontMetrics(fitted.font).horizontalAdvance(text) <= width) return fitted;
  }
  fitted.font.setPixelSize(std::min(std::max(1, font.pixelSize()), kSmallestFittedPixelSize));
  fitted.text = QFontMetrics(fitted.font).elidedText(text, Qt::ElideRight, width);
  return fitted;
}

// A static control's whole text and its font before fitting, kept on the label.
constexpr char kWholeTextProperty[] = "vm31WholeText";
constexpr char kUnfittedFontProperty[] = "vm31UnfittedFont";

// Shows the label's whole text fitted to its width; a text that had to be shrunk or cut is its
// tooltip.
void FitLabel(QLabel* label) {
  const QString whole = label->property(kWholeTextProperty).toString();
  const QFont font = label->property(kUnfittedFontProperty).value<QFont>();
  const FittedLine fitted = FitLine(font, whole, label->contentsRect().width());
  label->setFont(fitted.font);
  label->setText(fitted.text);
  label->setToolTip(fitted.asGiven ? QString() : whole);
}

// HID keyboard usages of Qt's keys (page 7), for keys whose place the platform's key names do
// not give.
struct KeyUsage {
  int qtKey;
  std::uint16_t usage;
};
constexpr KeyUsage kKeyUsages[] = {
    {Qt::Key_Return, 0x28},      {Qt::Key_Enter, 0x58},        {Qt::Key_Escape, 0x29},
    {Qt::Key_Backspace, 0x2A},   {Qt::Key_Tab, 0x2B},          {Qt::Key_Backtab, 0x2B},
    {Qt::Key_Space, 0x2C},       {Qt::Key_Minus, 0x2D},        {Qt::Key_Equal, 0x2E},
    {Qt::Key_BracketLeft, 0x2F}, {Qt::Key_BracketRight, 0x30}, {Qt::Key_Backslash, 0x31},
    {Qt::Key_Semicolon, 0x33},   {Qt::Key_Apostrophe, 0x34},   {Qt::Key_QuoteLeft, 0x35},
    {Qt::Key_Comma, 0x36},       {Qt::Key_Period, 0x37},       {Qt::Key_Slash, 0x38},
    {Qt::Key_CapsLock, 0x39},    {Qt::Key_Print, 0x46},        {Qt::Key_ScrollLock, 0x47},
    {Qt::Key_Pause, 0x48},       {Qt::Key_Insert, 0x49},       {Qt::Key_Home, 0x4A},
    {Qt::Key_PageUp, 0x4B},      {Qt::Key_Delete, 0x4C},       {Qt::Key_End, 0x4D},
    {Qt::Key_PageDown, 0x4E},    {Qt::Key_Right, 0x4F},        {Qt::Key_Left, 0x50},
    {Qt::Key_Down, 0x51},        {Qt::Key_Up, 0x52},           {Qt::Key_NumLock, 0x53},
    {Qt::Key_Menu, 0x65},        {Qt::Key_Control, 0xE0},      {Qt::Key_Shift, 0xE1},
    {Qt::Key_Alt, 0xE2},         {Qt::Key_Meta, 0xE3},         {Qt::Key_AltGr, 0xE6},
};

std::uint16_t UsageOf(int qtKey, quint32 scanCode, const KeyNames* keyNames) {
  // The key's place on the keyboard first: it tells the keypad and the right modifiers apart.
  if (keyNames != nullptr) {
    if (const std::uint16_t usage = keyNames->usageOfNativeKey(scanCode); usage != 0) return usage;
  }
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 0x04 + (qtKey - Qt::Key_A);
  if (qtKey >= Qt::Key_1 && qtKey <= Qt::Key_9) return 0x1E + (qtKey - Qt::Key_1);
  if (qtKey == Qt::Key_0) return 0x27;
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) return 0x3A + (qtKey - Qt::Key_F1);
  for (const auto& entry : kKeyUsages) {
    if (entry.qtKey == qtKey) return entry.usage;
  }
  return 0;
}

}  // namespace

QImage LoadSkinPicture(const QString& path) {
  QImage decoded(path);
  if (decoded.isNull()) return {};
  if (!decoded.hasAlphaChannel()) return decoded.convertToFormat(QImage::Format_RGB32);
  // Straight alpha first, then premultiplied by truncation (Qt's own conversion rounds).
  QImage straight = decoded.convertToFormat(QImage::Format_ARGB32);
  QImage result(straight.size(), QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < straight.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(straight.constScanLine(y));
    auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
    for (int x = 0; x < straight.width(); ++x) {
      const int alpha = qAlpha(in[x]);
      out[x] = qRgba(qRed(in[x]) * alpha / 255, qGreen(in[x]) * alpha / 255,
                     qBlue(in[x]) * alpha / 255, alpha);
    }
  }
  return result;
}

KeyEvent TranslateKey(int qtKey, quint32 nativeScanCode, Qt::KeyboardModifiers modifiers, bool down,
                      quint64 timestamp, const KeyNames* keyNames) {
  KeyEvent key;
  key.down = down;
  key.time = timestamp;
  key.usage = UsageOf(qtKey, nativeScanCode, keyNames);
  if (modifiers & Qt::ControlModifier) key.modifiers |= 0x01;
  if (modifiers & Qt::ShiftModifier) key.modifiers |= 0x02;
  if (modifiers & Qt::AltModifier) key.modifiers |= 0x04;
  if (modifiers & Qt::MetaModifier) key.modifiers |= 0x08;
  return key;
}

SkinnedWindow::SkinnedWindow(WindowModel& model, const ShellContext& context, SkinnedWindow* owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint),
      model_(model),
      context_(context),
      owner_(owner),
      kept_(owner != nullptr) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setWindowTitle(context_.windowTitle);
  installEventFilter(this);
  hoverTimer_.setSingleShot(true);
  hoverTimer_.setInterval(kHoverRestMs);
  connect(&hoverTimer_, &QTimer::timeout, this, [this] { model_.onHover(ToPoint(hoverAt_)); });
}

SkinnedWindow::~SkinnedWindow() = default;

bool SkinnedWindow::initialiseModel() {
  model_.attach(WindowPorts{this, this, this});
  return model_.onInitialise();
}

bool SkinnedWindow::keep(std::function<void()> call) {
  return kept_.keep(std::move(call));
}

// The calls run as this window's own (they were made on it, not on a const view of it).
void SkinnedWindow::realise() const {
  kept_.realise();
}

const QImage& SkinnedWindow::backBuffer() const {
  realise();
  return buffer_;
}

QWidget* SkinnedWindow::control(int id) const {
  realise();
  const auto found = controls_.find(id);
  return found == controls_.end() ? nullptr : found->second.widget;
}

// --- Canvas ----------------------------------------------------------------------------------

const QImage* SkinnedWindow::picture(const std::string& path) {
  auto found = cache_.find(path);
  if (found == cache_.end()) {
    QImage decoded = LoadSkinPicture(QString::fromStdString(path));
    if (decoded.isNull()) return nullptr;  // a picture that appears later is found then
    found = cache_.emplace(path, std::move(decoded)).first;
  }
  return &found->second;
}

bool SkinnedWindow::drawImage(const std::string& path, Point at) {
  if (!kept_.realised()) {
    // The answer it will have: a background to draw on and a picture that can be read.
    const bool drawable = keptBackground_ && QImageReader(QString::fromStdString(path)).canRead();
    keep([this, path, at] { drawImage(path, at); });
    return drawable;
  }
  const QImage* image = picture(path);
  if (image == nullptr || buffer_.isNull()) return false;
  QPainter painter(&buffer_);
  painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
  painter.drawImage(QPoint(at.x, at.y), *image);
  forgetTipsWithin(QRect(QPoint(at.x, at.y), image->size()));
  return true;
}

std::optional<Size> SkinnedWindow::imageSize(const std::string& path) {
  realise();  // the picture cache as the calls before left it
  const QImage* image = picture(path);
  if (image == nullptr) return std::nullopt;
  return Size{image->width(), image->height()};
}

void SkinnedWindow::dropImageCache() {
  if (keep([this] { dropImageCache(); })) return;
  cache_.clear();
}

void SkinnedWindow::fillRect(const Rect& box, Rgb colour) {
  if (keep([this, box, colour] { fillRect(box, colour); })) return;
  if (buffer_.isNull()) return;
  QPainter painter(&buffer_);
  painter.fillRect(ToQRect(box), ToQColor(colour));
  forgetTipsWithin(ToQRect(box));
}

void SkinnedWindow::forgetTipsWithin(const QRect& painted) {
  std::erase_if(canvasTips_, [&](const CanvasTip& tip) { return painted.contains(tip.area); });
}

QFont SkinnedWindow::fontFor(const FontSpec& spec) {
  QStringList families;
  for (std::string_view family : FontFamiliesFor(spec.face)) families << ToQString(family);
  if (families.isEmpty()) families << ToQString(spec.face);
  QFont font;
  font.setFamilies(families);
  font.setWeight(spec.weight >= 700 ? QFont::Bold : QFont::Normal);
  font.setStyleHint(QFont::SansSerif);
  // The program's heights are character cell heights (ascent + descent); Qt sizes the em.
  const int cell = spec.height > 0 ? spec.height : 12;
  font.setPixelSize(cell);
  const int measured = QFontMetrics(font).height();
  if (measured > cell) font.setPixelSize(std::max(1, cell * cell / measured));
  return font;
}

void SkinnedWindow::drawText(std::string_view text, const Rect& box, const FontSpec& font,
                             Rgb colour, TextFormat format) {
  if (keep([this, text = std::string(text), box, font, colour, format] {
        drawText(text, box, font, colour, format);
      })) {
    return;
  }
  if (buffer_.isNull()) return;
  QPainter painter(&buffer_);
  painter.setClipRect(ToQRect(box));
  painter.setPen(ToQColor(colour));
  const QRect area = ToQRect(box);
  if (format == TextFormat::kWordWrap) {
    painter.setFont(fontFor(font));
    painter.drawText(area, AlignmentFlags(format), ToQString(text));
    return;
  }
  const FittedLine fitted = FitLine(fontFor(font), ToQString(text), area.width());
  painter.setFont(fitted.font);
  painter.drawText(area, AlignmentFlags(format), fitted.text);
  std::erase_if(canvasTips_, [&](const CanvasTip& tip) { return tip.area == area; });
  if (!fitted.asGiven) canvasTips_.push_back({area, ToQString(text)});
}

QString SkinnedWindow::toolTipAt(QPoint at) const {
  realise();
  for (const CanvasTip& tip : canvasTips_) {
    if (tip.area.contains(at)) return tip.text;
  }
  return {};
}

bool SkinnedWindow::event(QEvent* event) {
  if (event->type() != QEvent::ToolTip) return QWidget::event(event);
  const auto* help = static_cast<QHelpEvent*>(event);
  const QString tip = toolTipAt(help->pos());
  if (tip.isEmpty()) {
    QToolTip::hideText();
  } else {
    QToolTip::showText(help->globalPos(), tip, this);
  }
  return true;
}

int SkinnedWindow::measureWrappedHeight(std::string_view text, int width, const FontSpec& font) {
  const QFontMetrics metrics(fontFor(font));
  return metrics
      .boundingRect(QRect(0, 0, std::max(1, width), 1 << 20), Qt::AlignLeft | Qt::TextWordWrap,
                    ToQString(text))
      .height();
}

void SkinnedWindow::present() {
  if (keep([this] { present(); })) return;
  update();
}

void SkinnedWindow::paintEvent(QPaintEvent*) {
  realise();  // shown some other way than through show()
  QPainter painter(this);
  if (buffer_.isNull()) {
    painter.fillRect(rect(), Qt::black);
    return;
  }
  painter.setCompositionMode(QPainter::CompositionMode_Source);
  painter.drawImage(QPoint(0, 0), buffer_);
}

// --- Controls --------------------------------------------------------------------------------

void SkinnedWindow::watch(QWidget* widget) {
  widget->installEventFilter(this);
  widget->setMouseTracking(true);
}

void SkinnedWindow::create(int id, ControlKind kind, const Rect& rect, const ControlStyle& style) {
  if (keep([this, id, kind, rect, style] { create(id, kind, rect, style); })) return;
  destroy(id);
  QWidget* widget = nullptr;
  switch (kind) {
    case ControlKind::kStatic: {
      auto* label = new QLabel(this);
      label->setTextFormat(Qt::PlainText);
      label->setProperty(kWholeTextProperty, QString());
      widget = label;
      break;
    }
    case ControlKind::kEdit: {
      auto* edit = new QLineEdit(this);
      edit->setFrame(false);
      connect(edit, &QLineEdit::textEdited, this,
              [this, id] { model_.onControlNotify(id, ControlNotification::kEditChange); });
      widget = edit;
      break;
    }
    case ControlKind::kListBox: {
      auto* list = new QListWidget(this);
      list->setSelectionMode(QAbstractItemView::SingleSelection);
      list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      // Only the user's own clicks choose; selections made from code stay silent.
      connect(list, &QListWidget::itemClicked, this,
              [this, id] { model_.onControlNotify(id, ControlNotification::kSelectionChange); });
      connect(list, &QListWidget::itemDoubleClicked, this,
              [this, id] { model_.onControlNotify(id, ControlNotification::kDoubleClick); });
      list->viewport()->setProperty(kControlIdProperty, id);
      watch(list->viewport());
      widget = list;
      break;
    }
  }
  widget->setProperty(kControlIdProperty, id);
  watch(widget);
  widget->setGeometry(ToQRect(rect));
  applyStyle(widget, kind, style);
  controls_[id] = Child{kind, widget};
  widget->show();
}

void SkinnedWindow::applyStyle(QWidget* widget, ControlKind kind, const ControlStyle& style) {
  widget->setFont(fontFor(style.font));
  const QString background =
      style.transparent ? QStringLiteral("transparent") : ToQColor(style.background).name();
  if (kind == ControlKind::kListBox) {
    styleListBox(static_cast<QListWidget*>(widget), style, background);
  } else {
    widget->setStyleSheet(QStringLiteral("color: %1; background: %2; border: none;")
                              .arg(ToQColor(style.text).name(), background));
  }
  widget->setAttribute(Qt::WA_TranslucentBackground, style.transparent);
  const Qt::Alignment alignment =
      (style.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter;
  if (kind == ControlKind::kStatic) {
    auto* label = static_cast<QLabel*>(widget);
    label->setAlignment(alignment);
    label->setProperty(kUnfittedFontProperty, label->font());
    FitLabel(label);
  }
  if (kind == ControlKind::kEdit) {
    auto* edit = static_cast<QLineEdit*>(widget);
    edit->setAlignment(alignment);
    edit->setReadOnly(style.readOnly);
    edit->setMaxLength(style.maxLength > 0 ? style.maxLength : 32767);
    // The edit owns its validator; a restyle replaces it only when the rule changes.
    if (style.numbersOnly != (edit->validator() != nullptr)) {
      const QValidator* old = edit->validator();
      edit->setValidator(style.numbersOnly
                             ? new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit)
                             : nullptr);
      delete old;
    }
  }
}

// A list box in the control's colours: the border its style asks for in the text colour, rows
// of kListRowHeight, the selection inverted (text colour behind, background colour on top) and
// a slim scroll bar whose groove is the background shaded toward the text colour and whose
// handle is the text colour, so a dark list never shows the platform's light scroll bar.
void SkinnedWindow::styleListBox(QListWidget* list, const ControlStyle& style,
                                 const QString& background) {
  const QColor text = ToQColor(style.text);
  const QColor base = ToQColor(style.background);
  const QColor groove = ToQColor(ListScrollGrooveColour(style));
  const QString border =
      style.border ? QStringLiteral("1px solid %1").arg(text.name()) : QStringLiteral("none");
  list->setStyleSheet(
      QStringLiteral(
          "QListWidget { color: %1; background: %2; border: %3; }"
          "QListWidget::item { height: %4px; padding: 0px; border: none; }"
          "QListWidget::item:selected { color: %5; background: %1; }"
          "QScrollBar:vertical { background: %6; width: %7px; margin: 0px; border: none; }"
          "QScrollBar::handle:vertical { background: %1; min-height: %8px; border: none; }"
          "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical"
          " { height: 0px; border: none; background: none; }"
          "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }")
          .arg(text.name(), background, border)
          .arg(kListRowHeight)
          .arg(base.name(), groove.name())
          .arg(kListScrollBarWidth)
          .arg(kListSmallestHandle));
  list->setFrameShape(style.border ? QFrame::StyledPanel : QFrame::NoFrame);
  const int columns = std::max(1, style.columns);
  const bool wraps = columns > 1;
  list->setFlow(QListView::TopToBottom);
  list->setWrapping(wraps);
  const int inner = list->width() - (style.border ? 2 : 0);
  list->setGridSize(wraps ? QSize(inner / columns, kListRowHeight) : QSize());
}

void SkinnedWindow::destroy(int id) {
  if (keep([this, id] { destroy(id); })) return;
  const auto found = controls_.find(id);
  if (found == controls_.end()) return;
  QWidget* widget = found->second.widget;
  controls_.erase(found);
  widget->removeEventFilter(this);
  widget->hide();
  widget->deleteLater();  // may be called from inside one of its own signals
}

bool SkinnedWindow::exists(int id) const {
  realise();
  return controls_.count(id) != 0;
}

void SkinnedWindow::setStyle(int id, const ControlStyle& style) {
  if (keep([this, id, style] { setStyle(id, style); })) return;
  const auto found = controls_.find(id);
  if (found != controls_.end()) applyStyle(found->second.widget, found->second.kind, style);
}

void SkinnedWindow::setVisible(int id, bool visible) {
  if (keep([this, id, visible] { setVisible(id, visible); })) return;
  if (QWidget* widget = control(id)) widget->setVisible(visible);
}

void SkinnedWindow::setFocus(int id) {
  if (keep([this, id] { setFocus(id); })) return;
  if (id == kNoControl) {
    QWidget::setFocus(Qt::OtherFocusReason);
  } else if (QWidget* widget = control(id)) {
    widget->setFocus(Qt::OtherFocusReason);
  }
}

int SkinnedWindow::focusedControl() const {
  realise();
  QWidget* focus = QApplication::focusWidget();
  if (focus == nullptr || focus->window() != this) return -1;
  return controlIdOf(focus);
}

void SkinnedWindow::setText(int id, std::string_view text) {
  if (keep([this, id, text = std::string(text)] { setText(id, text); })) return;
  const auto found = controls_.find(id);
  if (found == controls_.end()) return;
  if (found->second.kind == ControlKind::kStatic) {
    auto* label = static_cast<QLabel*>(found->second.widget);
    label->setProperty(kWholeTextProperty, ToQString(text));
    FitLabel(label);
  } else if (found->second.kind == ControlKind::kEdit) {
    static_cast<QLineEdit*>(found->second.widget)->setText(ToQString(text));
  }
}

std::string SkinnedWindow::text(int id) const {
  realise();
  const auto found = controls_.find(id);
  if (found == controls_.end()) return {};
  if (found->second.kind == ControlKind::kStatic) {
    return found->second.widget->property(kWholeTextProperty).toString().toStdString();
  }
  if (found->second.kind == ControlKind::kEdit) {
    return static_cast<QLineEdit*>(found->second.widget)->text().toStdString();
  }
  return {};
}

QListWidget* SkinnedWindow::listBox(int id) const {
  realise();  // every list call comes here: the mutators kept their call before
  const auto found = controls_.find(id);
  if (found == controls_.end() || found->second.kind != ControlKind::kListBox) return nullptr;
  return static_cast<QListWidget*>(found->second.widget);
}

void SkinnedWindow::clearItems(int id) {
  if (keep([this, id] { clearItems(id); })) return;
  QListWidget* list = listBox(id);
  if (list == nullptr) return;
  list->clear();
}

void SkinnedWindow::addItem(int id, std::string_view text) {
  insertItem(id, -1, text);
}

void SkinnedWindow::insertItem(int id, int index, std::string_view text) {
  if (keep([this, id, index, text = std::string(text)] { insertItem(id, index, text); })) return;
  QListWidget* list = listBox(id);
  if (list == nullptr) return;
  if (index < 0 || index > list->count()) index = list->count();
  list->insertItem(index, ToQString(text));
}

void SkinnedWindow::deleteItem(int id, int index) {
  if (keep([this, id, index] { deleteItem(id, index); })) return;
  QListWidget* list = listBox(id);
  if (list == nullptr) return;
  if (index < 0 || index >= list->count()) return;
  delete list->takeItem(index);
}

int SkinnedWindow::itemCount(int id) const {
  QListWidget* list = listBox(id);
  if (list == nullptr) return 0;
  return list->count();
}

std::string SkinnedWindow::itemText(int id, int index) const {
  QListWidget* list = listBox(id);
  if (list == nullptr) return {};
  if (index < 0 || index >= list->count()) return {};
  return list->item(index)->text().toStdString();
}

void SkinnedWindow::setSelection(int id, int index) {
  if (keep([this, id, index] { setSelection(id, index); })) return;
  QListWidget* list = listBox(id);
  if (list == nullptr) return;
  if (index < 0 || index >= list->count()) {
    list->setCurrentRow(-1);
    list->clearSelection();
    return;
  }
  list->setCurrentRow(index);
}

int SkinnedWindow::selection(int id) const {
  QListWidget* list = listBox(id);
  if (list == nullptr) return -1;
  const auto selected = list->selectedItems();
  return selected.isEmpty() ? -1 : list->row(selected.first());
}

int SkinnedWindow::itemAt(int id, Point at) const {
  QListWidget* list = listBox(id);
  if (list == nullptr) return -1;
  const QPoint local = list->viewport()->mapFrom(this, QPoint(at.x, at.y));
  QListWidgetItem* item = list->itemAt(local);
  return item == nullptr ? -1 : list->row(item);
}

void SkinnedWindow::setTopIndex(int id, int index) {
  if (keep([this, id, index] { setTopIndex(id, index); })) return;
  QListWidget* list = listBox(id);
  if (list == nullptr) return;
  if (index < 0 || index >= list->count()) return;
  list->scrollToItem(list->item(index), QAbstractItemView::PositionAtTop);
}

int SkinnedWindow::topIndex(int id) const {
  QListWidget* list = listBox(id);
  if (list == nullptr) return 0;
  QListWidgetItem* item = list->itemAt(QPoint(1, 1));
  return item == nullptr ? 0 : list->row(item);
}

// --- WindowHost ------------------------------------------------------------------------------

void SkinnedWindow::show() {
  realise();
  // The main window: centred on the screen at its first show, then where the user left it.
  if (owner_ == nullptr && !isVisible()) {
    if (!placedAt_) {
      const QScreen* screen = QGuiApplication::primaryScreen();
      if (screen != nullptr) {
        const QRect available = screen->availableGeometry();
        placedAt_ = available.center() - QPoint(width() / 2, height() / 2);
      }
    }
    if (placedAt_) move(*placedAt_);
  }
  QWidget::show();
}

void SkinnedWindow::hide() {
  hoverTimer_.stop();
  if (owner_ == nullptr && isVisible()) placedAt_ = pos();
  QWidget::hide();
}

bool SkinnedWindow::isVisible() const {
  return QWidget::isVisible();
}

void SkinnedWindow::minimise() {
  realise();
  showMinimized();
}

void SkinnedWindow::bringToFront() {
  raise();
  activateWindow();
}

void SkinnedWindow::setCaption(std::string_view caption) {
  // An empty caption gives the window back its own title.
  setWindowTitle(caption.empty() ? context_.windowTitle : ToQString(caption));
}

std::optional<Size> SkinnedWindow::setBackgroundImage(const std::string& path) {
  if (!kept_.realised()) {
    // The size from the picture's header now; the picture is decoded once realised.
    QImageReader reader(QString::fromStdString(path));
    const QSize size = reader.canRead() ? reader.size() : QSize();
    if (!size.isValid()) return std::nullopt;
    keep([this, path] {
      takeBackground(path);
      update();
    });
    keptBackground_ = true;
    setFixedSize(size);
    return Size{size.width(), size.height()};
  }
  if (!takeBackground(path)) return std::nullopt;
  setFixedSize(buffer_.size());
  update();
  return Size{buffer_.width(), buffer_.height()};
}

bool SkinnedWindow::takeBackground(const std::string& path) {
  const QImage* image = picture(path);
  if (image == nullptr) return false;
  buffer_ = image->convertToFormat(QImage::Format_ARGB32_Premultiplied);
  return true;
}

void SkinnedWindow::startDrag() {
  if (QWindow* window = windowHandle()) window->startSystemMove();
}

void SkinnedWindow::messageBox(std::string_view text, std::string_view caption,
                               MessageBoxIcon icon) {
  QMessageBox box(icon == MessageBoxIcon::kWarning ? QMessageBox::Warning : QMessageBox::NoIcon,
                  caption.empty() ? context_.programName : ToQString(caption), ToQString(text),
                  QMessageBox::Ok, this);
  box.exec();
}

std::optional<Rgb> SkinnedWindow::chooseColour(Rgb initial) {
  const QColor chosen = QColorDialog::getColor(ToQColor(initial), this);
  if (!chosen.isValid()) return std::nullopt;
  return Rgb{static_cast<std::uint8_t>(chosen.red()), static_cast<std::uint8_t>(chosen.green()),
             static_cast<std::uint8_t>(chosen.blue())};
}

void SkinnedWindow::popupMenu(const std::vector<MenuItem>& items) {
  QMenu menu(this);
  for (const MenuItem& item : items) menu.addAction(ToQString(item.text))->setData(item.command);
  if (QAction* chosen = menu.exec(QCursor::pos())) model_.onCommand(chosen->data().toInt());
}

int SkinnedWindow::runModal(WindowModel& popup) {
  SkinnedWindow window(popup, context_, this);
  window.setWindowModality(Qt::ApplicationModal);
  window.initialiseModel();
  // Centred over this window, as dialogs open over their owner.
  const QRect owner = frameGeometry();
  window.move(owner.center() - QPoint(window.width() / 2, window.height() / 2));
  if (!window.endedEarly_) {
    QEventLoop loop;
    window.modalLoop_ = &loop;
    SkinnedWindow* const outerPopup = std::exchange(runningPopup_, &window);
    window.QWidget::show();
    window.activateWindow();
    loop.exec();
    runningPopup_ = outerPopup;
    window.modalLoop_ = nullptr;
  }
  window.QWidget::hide();
  return window.modalCode_;
}

void SkinnedWindow::endModal(int code) {
  if (modalEnded_) return;  // a run ends once: the first code given stands
  modalEnded_ = true;
  modalCode_ = code;
  // A message box, colour dialog or menu of this popup still open runs a loop inside the
  // popup's: it goes first, so the popup's loop can end now.
  for (QDialog* dialog : findChildren<QDialog*>()) dialog->reject();
  for (QMenu* menu : findChildren<QMenu*>()) menu->close();
  if (modalLoop_ != nullptr) {
    modalLoop_->exit(code);
  } else {
    endedEarly_ = true;  // ended from inside onInitialise: the run does not start
  }
}

void SkinnedWindow::endRunningModal(int code) {
  if (runningPopup_ != nullptr) runningPopup_->endModal(code);
}

void SkinnedWindow::endProcess(int code) {
  if (context_.beforeExit) context_.beforeExit();
  // Ends at once, without static destructors or atexit handlers: they would run while the
  // reader thread and the toolkit are still live.
  std::fflush(nullptr);
  std::_Exit(code);
}

// --- events ----------------------------------------------------------------------------------

void SkinnedWindow::closeEvent(QCloseEvent* event) {
  event->ignore();  // the model decides (the main window only hides)
  model_.onClose();
}

void SkinnedWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton)
    model_.onLeftButtonDown(ToPoint(event->position().toPoint()));
}

void SkinnedWindow::mouseMoveEvent(QMouseEvent* event) {
  hoverAt_ = event->position().toPoint();
  model_.onMouseMove(ToPoint(hoverAt_));
  hoverTimer_.start();
}

void SkinnedWindow::leaveEvent(QEvent*) {
  hoverTimer_.stop();
  model_.onMouseLeave();
}

void SkinnedWindow::wheelEvent(QWheelEvent* event) {
  model_.onWheel(event->angleDelta().y(), ToPoint(event->position().toPoint()));
}

int SkinnedWindow::controlIdOf(QObject* object) const {
  const QVariant id = object->property(kControlIdProperty);
  return id.isValid() ? id.toInt() : -1;
}

bool SkinnedWindow::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      // Once per key: where it first arrives (the focus widget), not again when a child that
      // ignored it passes it on to the window.
      QWidget* focus = QApplication::focusWidget();
      if (watched != focus && !(focus == nullptr && watched == this)) return false;
      const auto* key = static_cast<QKeyEvent*>(event);
      const KeyEvent translated =
          TranslateKey(key->key(), key->nativeScanCode(), key->modifiers(),
                       event->type() == QEvent::KeyPress, key->timestamp(), context_.keyNames);
      return model_.onKey(translated) == KeyDisposition::kSwallow;
    }
    case QEvent::MouseMove: {
      const int id = controlIdOf(watched);
      if (id < 0) return false;
      const auto* move = static_cast<QMouseEvent*>(event);
      const QPoint at = static_cast<QWidget*>(watched)->mapTo(this, move->position().toPoint());
      model_.onControlMouseMove(id, ToPoint(at));
      return false;
    }
    case QEvent::MouseButtonPress: {
      const int id = controlIdOf(watched);
      const auto* press = static_cast<QMouseEvent*>(event);
      if (id < 0 || press->button() != Qt::RightButton) return false;
      const QPoint at = static_cast<QWidget*>(watched)->mapTo(this, press->position().toPoint());
      model_.onControlRightButtonDown(id, ToPoint(at));
      return true;
    }
    case QEvent::FocusOut: {
      const int id = controlIdOf(watched);
      if (id >= 0 && exists(id)) model_.onControlNotify(id, ControlNotification::kFocusLost);
      return false;
    }
    default:
      return false;
  }
}

}  // namespace vm31::qt
