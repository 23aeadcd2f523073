#pragma once
// Skin pictures decoded for drawing with AlphaBlend: a 32-bit top-down DIB section of
// premultiplied BGRA, each of blue, green and red floor(channel * alpha / 255); a picture
// without alpha comes out opaque (alpha 255 everywhere). Decoded with WIC (windowscodecs).

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "core/ui/ports.h"

namespace vm31::win32 {

class SkinPicture {
 public:
  // Null when the file is missing or cannot be decoded.
  static std::unique_ptr<SkinPicture> Load(const std::string& path);
  // The picture's size from its header, without decoding the pixels; nullopt when unreadable.
  static std::optional<Size> ReadSize(const std::string& path);
  ~SkinPicture();
  SkinPicture(const SkinPicture&) = delete;
  SkinPicture& operator=(const SkinPicture&) = delete;

  HBITMAP bitmap() const { return bitmap_; }
  Size size() const { return size_; }
  // The pixels, size().width * size().height premultiplied BGRA values, rows top to bottom.
  const std::uint32_t* pixels() const { return pixels_; }

 private:
  SkinPicture(HBITMAP bitmap, std::uint32_t* pixels, Size size)
      : bitmap_(bitmap), pixels_(pixels), size_(size) {}
  HBITMAP bitmap_;
  std::uint32_t* pixels_;
  Size size_;
};

// A 32-bit top-down DIB section of `size`; `pixels` receives its memory. Null on failure.
HBITMAP CreateTopDownDib(Size size, std::uint32_t** pixels);

}  // namespace vm31::win32
