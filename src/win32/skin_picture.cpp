#include "win32/skin_picture.h"

#include <wincodec.h>

#include "win32/wide_text.h"

namespace vm31::win32 {
namespace {

// Releases a COM interface at the end of its scope.
template <typename T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T** out() { return &pointer_; }
  T* operator->() const { return pointer_; }
  T* get() const { return pointer_; }

 private:
  T* pointer_ = nullptr;
};

// The process's WIC factory; COM is initialised on the user-interface thread at start.
IWICImagingFactory* Factory() {
  static IWICImagingFactory* factory = [] {
    IWICImagingFactory* created = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&created)))) {
      return static_cast<IWICImagingFactory*>(nullptr);
    }
    return created;
  }();
  return factory;
}

// The first frame of the picture at `path`; false when it cannot be opened or decoded.
bool OpenFrame(const std::string& path, ComRef<IWICBitmapDecoder>& decoder,
               ComRef<IWICBitmapFrameDecode>& frame) {
  IWICImagingFactory* factory = Factory();
  if (factory == nullptr) return false;
  const std::wstring wide = Wide(path);
  if (FAILED(factory->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                                WICDecodeMetadataCacheOnDemand, decoder.out()))) {
    return false;
  }
  return SUCCEEDED(decoder->GetFrame(0, frame.out()));
}

}  // namespace

HBITMAP CreateTopDownDib(Size size, std::uint32_t** pixels) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = size.width;
  info.bmiHeader.biHeight = -size.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return nullptr;
  *pixels = static_cast<std::uint32_t*>(bits);
  return bitmap;
}

std::optional<Size> SkinPicture::ReadSize(const std::string& path) {
  ComRef<IWICBitmapDecoder> decoder;
  ComRef<IWICBitmapFrameDecode> frame;
  if (!OpenFrame(path, decoder, frame)) return std::nullopt;
  UINT width = 0;
  UINT height = 0;
  if (FAILED(frame->GetSize(&width, &height)) || width == 0 || height == 0) return std::nullopt;
  return Size{static_cast<int>(width), static_cast<int>(height)};
}

std::unique_ptr<SkinPicture> SkinPicture::Load(const std::string& path) {
  ComRef<IWICBitmapDecoder> decoder;
  ComRef<IWICBitmapFrameDecode> frame;
  if (!OpenFrame(path, decoder, frame)) return nullptr;
  UINT width = 0;
  UINT height = 0;
  if (FAILED(frame->GetSize(&width, &height)) || width == 0 || height == 0) return nullptr;
  // Straight BGRA first (a picture without alpha gets 255), then premultiplied by truncation
  // (WIC's own premultiplied format rounds).
  ComRef<IWICFormatConverter> converter;
  if (FAILED(Factory()->CreateFormatConverter(converter.out())) ||
      FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA,
                                   WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom))) {
    return nullptr;
  }
  const Size size{static_cast<int>(width), static_cast<int>(height)};
  std::uint32_t* pixels = nullptr;
  HBITMAP bitmap = CreateTopDownDib(size, &pixels);
  if (bitmap == nullptr) return nullptr;
  const UINT stride = width * 4;
  if (FAILED(converter->CopyPixels(nullptr, stride, stride * height,
                                   reinterpret_cast<BYTE*>(pixels)))) {
    ::DeleteObject(bitmap);
    return nullptr;
  }
  const std::size_t count = static_cast<std::size_t>(width) * height;
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t pixel = pixels[i];
    const std::uint32_t alpha = pixel >> 24;
    if (alpha == 255) continue;
    const std::uint32_t blue = (pixel & 0xFF) * alpha / 255;
    const std::uint32_t green = ((pixel >> 8) & 0xFF) * alpha / 255;
    const std::uint32_t red = ((pixel >> 16) & 0xFF) * alpha / 255;
    pixels[i] = (alpha << 24) | (red << 16) | (green << 8) | blue;
  }
  ::GdiFlush();
  return std::unique_ptr<SkinPicture>(new SkinPicture(bitmap, pixels, size));
}

SkinPicture::~SkinPicture() {
  ::DeleteObject(bitmap_);
}

}  // namespace vm31::win32
