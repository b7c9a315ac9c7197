#include "frame/picture_loader.h"

#include "platform/qt/environment.h"
#include "platform/qt/image_decoder.h"

namespace vrok {

ScreenMetrics EmulatedScreen() {
  const platform::Screen& s = platform::ScreenMetrics();
  return {s.width, s.height, s.dpiX, s.dpiY};
}

LoadedPicture LoadPicture(const ContentDatabase& db, RowIndex figure) {
  LoadedPicture loaded;
  const auto bytes = LoadPictureBytes(db, figure, EmulatedScreen());
  if (!bytes) return loaded;
  loaded.variant = bytes->variant;
  loaded.image = platform::DecodeImage(bytes->encoded);
  return loaded;
}

}  // namespace vrok
