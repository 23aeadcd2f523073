#pragma once
// A recording window host for window-model tests: it implements the window ports without a
// display and writes every call into one shared log as a short line, so a test states what a
// model did as a list of lines:
//   img /button-over.png @562,623          text 'OK' [166,253,271,274] centre
//   background /main.png 884x654           show / hide / raise / present
//   message 'Config file is not exist.'    balloon 'text' 'Info' 5000
// Paths are logged with `stripPrefix` removed from their front. Pictures are files on disk: a
// picture "loads" when its file starts with the PNG signature and an IHDR chunk, whose width and
// height are its size (nothing else of the file is read).

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/ui/ports.h"

namespace vm31::testing {

using Log = std::vector<std::string>;

inline const char* FormatName(TextFormat format) {
  switch (format) {
    case TextFormat::kLeft:
      return "left";
    case TextFormat::kCentre:
      return "centre";
    case TextFormat::kRight:
      return "right";
    case TextFormat::kTopCentre:
      return "top-centre";
    case TextFormat::kWordWrap:
      return "wrap";
  }
  return "?";
}

inline std::string RectText(const Rect& r) {
  std::ostringstream out;
  out << '[' << r.left << ',' << r.top << ',' << r.right << ',' << r.bottom << ']';
  return out.str();
}

inline std::string MenuText(const std::vector<MenuItem>& items) {
  std::string text = "[";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i != 0) text += ", ";
    text += std::to_string(items[i].command) + " '" + items[i].text + "'";
  }
  return text + "]";
}

// The size in a PNG file's IHDR chunk; nullopt when the file is missing or not a PNG.
inline std::optional<Size> PngSize(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char head[24] = {};
  if (!in.read(reinterpret_cast<char*>(head), sizeof head)) return std::nullopt;
  static constexpr unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  for (int i = 0; i < 8; ++i) {
    if (head[i] != kSignature[i]) return std::nullopt;
  }
  if (head[12] != 'I' || head[13] != 'H' || head[14] != 'D' || head[15] != 'R') return std::nullopt;
  const auto be32 = [&](int at) {
    return static_cast<int>((std::uint32_t{head[at]} << 24) | (std::uint32_t{head[at + 1]} << 16) |
                            (std::uint32_t{head[at + 2]} << 8) | std::uint32_t{head[at + 3]});
  };
  return Size{be32(16), be32(20)};
}

// Writes the start of a PNG file (signature and IHDR chunk, 32-bit RGBA) of the given size:
// enough for PngSize above, which is all the recording host reads.
inline void WritePngHeader(const std::filesystem::path& path, int width, int height) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  const unsigned char bytes[] = {0x89,
                                 'P',
                                 'N',
                                 'G',
                                 '\r',
                                 '\n',
                                 0x1A,
                                 '\n',
                                 0,
                                 0,
                                 0,
                                 13,
                                 'I',
                                 'H',
                                 'D',
                                 'R',
                                 static_cast<unsigned char>(width >> 24),
                                 static_cast<unsigned char>(width >> 16),
                                 static_cast<unsigned char>(width >> 8),
                                 static_cast<unsigned char>(width),
                                 static_cast<unsigned char>(height >> 24),
                                 static_cast<unsigned char>(height >> 16),
                                 static_cast<unsigned char>(height >> 8),
                                 static_cast<unsigned char>(height),
                                 8,
                                 6,
                                 0,
                                 0,
                                 0};
  out.write(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

class RecordingWindow : public Canvas, public Controls, public WindowHost {
 public:
  explicit RecordingWindow(Log& log) : log_(log) {}

  WindowPorts ports() { return WindowPorts{this, this, this}; }

  std::string stripPrefix;
  bool visible = false;
  std::optional<int> endedWith;  // the process end code, once endProcess ran
  // What a modal run of a popup does: called with the popup and its own window after
  // onInitialise; the popup's endModal code is the result (-1 when it never ended).
  std::function<void(WindowModel&, RecordingWindow&)> modalScript;
  std::optional<int> modalCode;
  std::optional<int> menuChoice;  // the command a popup menu returns to the owner's model
  WindowModel* model = nullptr;   // the model attached to this window (for popup menus)

  // Canvas
  bool drawImage(const std::string& path, Point at) override {
    const bool loaded = PngSize(path).has_value();
    log_.push_back("img " + shown(path) + " @" + std::to_string(at.x) + "," + std::to_string(at.y) +
                   (loaded ? "" : " missing"));
    return loaded;
  }
  std::optional<Size> imageSize(const std::string& path) override { return PngSize(path); }
  void dropImageCache() override {}
  void fillRect(const Rect& box, Rgb colour) override {
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%02x%02x%02x", colour.red, colour.green, colour.blue);
    log_.push_back("fill " + RectText(box) + " " + hex);
  }
  void drawText(std::string_view text, const Rect& box, const FontSpec&, Rgb,
                TextFormat format) override {
    log_.push_back("text '" + std::string(text) + "' " + RectText(box) + " " + FormatName(format));
  }
  int measureWrappedHeight(std::string_view text, int width, const FontSpec& font) override {
    // Every character a fixed half-cell wide: enough to exercise the callers' arithmetic.
    const int perLine = std::max(1, width / std::max(1, font.height / 2));
    const int lines = (static_cast<int>(text.size()) + perLine - 1) / perLine;
    return std::max(1, lines) * font.height;
  }
  void present() override { log_.push_back("present"); }

  // Controls
  void create(int id, ControlKind kind, const Rect& rect, const ControlStyle& style) override {
    Control control;
    control.kind = kind;
    control.rect = rect;
    control.style = style;
    controls_[id] = std::move(control);
    log_.push_back("create " + std::to_string(id) + " " + RectText(rect));
  }
  void destroy(int id) override {
    if (controls_.erase(id) != 0) log_.push_back("destroy " + std::to_string(id));
  }
  bool exists(int id) const override { return controls_.count(id) != 0; }
  void setStyle(int id, const ControlStyle& style) override {
    if (auto* c = find(id)) c->style = style;
  }
  void setVisible(int id, bool visible) override {
    if (auto* c = find(id)) c->visible = visible;
  }
  void setFocus(int id) override {
    if (id == kNoControl || find(id) != nullptr) {
      focused_ = id;
      log_.push_back("focus " + std::to_string(id));
    }
  }
  int focusedControl() const override { return exists(focused_) ? focused_ : kNoControl; }
  void setText(int id, std::string_view text) override {
    if (auto* c = find(id)) c->text = std::string(text);
  }
  std::string text(int id) const override {
    const auto* c = find(id);
    return c ? c->text : std::string();
  }
  void clearItems(int id) override {
    if (auto* c = find(id)) {
      c->items.clear();
      c->selection = -1;
    }
  }
  void addItem(int id, std::string_view text) override { insertItem(id, -1, text); }
  void insertItem(int id, int index, std::string_view text) override {
    auto* c = find(id);
    if (c == nullptr) return;
    if (index < 0 || index > static_cast<int>(c->items.size())) {
      c->items.emplace_back(text);
    } else {
      c->items.insert(c->items.begin() + index, std::string(text));
    }
  }
  void deleteItem(int id, int index) override {
    auto* c = find(id);
    if (c == nullptr || index < 0 || index >= static_cast<int>(c->items.size())) return;
    c->items.erase(c->items.begin() + index);
    if (c->selection >= static_cast<int>(c->items.size())) c->selection = -1;
  }
  int itemCount(int id) const override {
    const auto* c = find(id);
    return c ? static_cast<int>(c->items.size()) : 0;
  }
  std::string itemText(int id, int index) const override {
    const auto* c = find(id);
    if (c == nullptr || index < 0 || index >= static_cast<int>(c->items.size())) return {};
    return c->items[static_cast<std::size_t>(index)];
  }
  void setSelection(int id, int index) override {
    if (auto* c = find(id)) {
      c->selection = index >= 0 && index < static_cast<int>(c->items.size()) ? index : -1;
    }
  }
  int selection(int id) const override {
    const auto* c = find(id);
    return c ? c->selection : -1;
  }
  // Rows of `kRowHeight` pixels from the list's top, counted from the top index.
  static constexpr int kRowHeight = 16;
  int itemAt(int id, Point at) const override {
    const auto* c = find(id);
    if (c == nullptr || !c->rect.contains(at)) return -1;
    const int index = c->top + (at.y - c->rect.top) / kRowHeight;
    return index < static_cast<int>(c->items.size()) ? index : -1;
  }
  void setTopIndex(int id, int index) override {
    if (auto* c = find(id)) c->top = std::max(0, index);
  }
  int topIndex(int id) const override {
    const auto* c = find(id);
    return c ? c->top : 0;
  }
  bool controlVisible(int id) const {
    const auto* c = find(id);
    return c != nullptr && c->visible;
  }
  std::optional<Rect> controlRect(int id) const {
    const auto* c = find(id);
    return c ? std::optional<Rect>(c->rect) : std::nullopt;
  }
  std::optional<ControlStyle> controlStyle(int id) const {
    const auto* c = find(id);
    return c ? std::optional<ControlStyle>(c->style) : std::nullopt;
  }

  // WindowHost
  void show() override {
    visible = true;
    log_.push_back("show");
  }
  void hide() override {
    visible = false;
    log_.push_back("hide");
  }
  bool isVisible() const override { return visible; }
  void minimise() override { log_.push_back("minimise"); }
  void bringToFront() override { log_.push_back("raise"); }
  void setCaption(std::string_view caption) override {
    log_.push_back("caption '" + std::string(caption) + "'");
  }
  std::optional<Size> setBackgroundImage(const std::string& path) override {
    const std::optional<Size> size = PngSize(path);
    log_.push_back("background " + shown(path) + " " +
                   (size ? std::to_string(size->width) + "x" + std::to_string(size->height)
                         : std::string("missing")));
    if (size) this->size = *size;
    return size;
  }
  Size size;
  void startDrag() override { log_.push_back("drag"); }
  void messageBox(std::string_view text, std::string_view caption, MessageBoxIcon) override {
    log_.push_back("message '" + std::string(text) + "'" +
                   (caption.empty() ? "" : " caption '" + std::string(caption) + "'"));
  }
  std::optional<Rgb> colourChoice;
  std::optional<Rgb> chooseColour(Rgb) override {
    log_.push_back("colour chooser");
    return colourChoice;
  }
  void popupMenu(const std::vector<MenuItem>& items) override {
    log_.push_back("menu " + MenuText(items));
    if (menuChoice && model != nullptr) model->onCommand(*std::exchange(menuChoice, {}));
  }
  int runModal(WindowModel& popup) override {
    log_.push_back("modal");
    auto window = std::make_unique<RecordingWindow>(log_);
    window->stripPrefix = stripPrefix;
    window->model = &popup;
    popup.attach(window->ports());
    popup.onInitialise();
    runningPopup_ = window.get();
    if (modalScript && !window->modalCode) modalScript(popup, *window);
    runningPopup_ = nullptr;
    log_.push_back("modal end");
    return window->modalCode.value_or(-1);
  }
  void endModal(int code) override {
    if (!modalCode) modalCode = code;  // a run ends once: the first code stands
    log_.push_back("end modal " + std::to_string(code));
  }
  void endRunningModal(int code) override {
    if (runningPopup_ != nullptr) runningPopup_->endModal(code);
  }
  void endProcess(int code) override {
    endedWith = code;
    log_.push_back("end " + std::to_string(code));
  }

 private:
  struct Control {
    ControlKind kind = ControlKind::kStatic;
    Rect rect;
    ControlStyle style;
    bool visible = true;
    std::string text;
    std::vector<std::string> items;
    int selection = -1;
    int top = 0;
  };

  Control* find(int id) {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
  }
  const Control* find(int id) const {
    auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : &it->second;
  }
  std::string shown(const std::string& path) const {
    if (!stripPrefix.empty() && path.rfind(stripPrefix, 0) == 0) {
      return path.substr(stripPrefix.size());
    }
    return path;
  }

  Log& log_;
  std::map<int, Control> controls_;
  int focused_ = -1;
  RecordingWindow* runningPopup_ = nullptr;
};

class RecordingNotifier : public Notifier {
 public:
  explicit RecordingNotifier(Log& log) : log_(log) {}

  bool tray = true;  // whether the desktop offers a tray

  bool trayAvailable() const override { return tray; }
  void addTrayIcon(std::string_view tip) override {
    log_.push_back("tray add '" + std::string(tip) + "'");
  }
  void removeTrayIcon() override { log_.push_back("tray remove"); }
  void showBalloon(std::string_view text, std::string_view title, int timeoutMs,
                   NoticeIcon) override {
    log_.push_back("balloon '" + std::string(text) + "' '" + std::string(title) + "' " +
                   std::to_string(timeoutMs));
  }
  void setTrayMenu(const std::vector<MenuItem>& items) override {
    log_.push_back("tray menu " + MenuText(items));
  }
  void showTrayMenu(const std::vector<MenuItem>& items) override {
    log_.push_back("tray menu shown " + MenuText(items));
  }

 private:
  Log& log_;
};

}  // namespace vm31::testing
