#pragma once
// Font resources (AddFontResource/RemoveFontResource): a font file added
// to the application's fonts, counted per path. The page font's file is
// "ppc_font2.ttf"; whatever family it holds, the face "PPC_Font2" is made
// to resolve to it.

#include <QString>

namespace vrok::platform {

inline constexpr char kPageFontFile[] = "ppc_font2.ttf";
inline constexpr char kPageFontFace[] = "PPC_Font2";

bool AddFontResource(const QString& path);
// False when the path was not added (more removals than additions).
bool RemoveFontResource(const QString& path);
int FontResourceCount(const QString& path);

// Holds one addition of the page font for as long as it lives (each page
// view adds the font when it is constructed and removes it when destroyed).
class PageFontUse {
 public:
  PageFontUse();
  ~PageFontUse();
  PageFontUse(const PageFontUse&) = delete;
  PageFontUse& operator=(const PageFontUse&) = delete;
  // Whether the font file could be added (false when it is missing).
  bool Added() const { return added_; }

 private:
  QString path_;
  bool added_ = false;
};

}  // namespace vrok::platform
