// The largest record page of a generated book (200 fields of 2 KB each)
// built and shown, and a figure decoded, each beside a floor measured in
// the same run: the string reads the page cannot avoid, the viewer widget's
// own layout of the same document, the image library's own decode.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QTextDocument>
#include <filesystem>

#include "content/content_database.h"
#include "content/node_cursor.h"
#include "content/writer/book_writer.h"
#include "core/pages/child_pages.h"
#include "core/pages/page_text.h"
#include "core/pages/record_page.h"
#include "core/pages/viewer_html.h"
#include "frame/html_pane.h"
#include "frame/picture_loader.h"
#include "frame/viewer_control.h"
#include "platform/qt/image_decoder.h"
#include "support/book_nodes.h"

namespace vrok {
namespace {

constexpr int kFields = 200;
constexpr std::size_t kFieldChars = 2048;
constexpr int kListLinks = 10000;

std::vector<std::uint8_t> Encoded(const char* format) {
  QImage image(240, 320, QImage::Format_RGB32);
  for (int y = 0; y < 320; ++y)
    for (int x = 0; x < 240; ++x) image.setPixel(x, y, qRgb(x, y % 256, (x * y) % 256));
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, format);
  return {bytes.begin(), bytes.end()};
}

using test::Str;

struct PageBook {
  std::string folder;
  std::unique_ptr<ContentDatabase> db;
  RowIndex record = 0, png = 0, jpeg = 0, longList = 0;

  PageBook() {
    char pattern[] = "/tmp/vrok-page-bench-XXXXXX";
    folder = ::mkdtemp(pattern);
    Book book;
    book.root.field = u"root";
    book.items = {MakeImageItem({{240, 320, Encoded("PNG")}}),
                  MakeImageItem({{240, 320, Encoded("JPG")}})};
    BookNode table = Str(u"table", u"BIG");
    table.children.push_back(Str(u"table type", u"html"));
    BookNode big = Str(u"hierarchy item", u"The largest record");
    for (int f = 0; f < kFields; ++f) {
      table.children.push_back(Str(u"field name", u"Section " + std::u16string(1, u'A' + f % 26)));
      std::u16string text;
      while (text.size() < kFieldChars) text += u"Words of a field, <B>some bold</B>, and more. ";
      text.resize(kFieldChars);
      big.children.push_back(Str(u"field", text));
    }
    big.id = "record";
    table.children.push_back(std::move(big));
    book.root.children.push_back(std::move(table));
    for (std::uint32_t item : {0u, 1u}) {
      BookNode figure = Str(u"hierarchy item", u"Figure");
      figure.id = item == 0 ? "png" : "jpeg";
      figure.children.push_back(Str(u"table type", u"figure"));
      BookNode data;
      data.field = u"data";
      data.value = item;
      figure.children.push_back(data);
      book.root.children.push_back(std::move(figure));
    }
    // An html list of 10,000 entries, each a link.
    BookNode list = Str(u"hierarchy item", u"A long list");
    list.id = "list";
    for (int i = 0; i < kListLinks; ++i) {
      BookNode entry = Str(u"hierarchy item", u"Entry number " + std::u16string(1, u'A' + i % 26) +
                                                  u" of the long list");
      BookNode link;
      link.field = u"link";
      link.ref = "record";
      entry.children.push_back(std::move(link));
      list.children.push_back(std::move(entry));
    }
    BookNode lists = Str(u"table", u"LISTS");
    lists.children.push_back(Str(u"table type", u"html list"));
    lists.children.push_back(std::move(list));
    book.root.children.push_back(std::move(lists));
    std::string error;
    const auto layout = LayOutBook(book, error);
    if (!layout || !WriteBook(book, folder).ok) std::abort();
    for (const auto& [id, row] : layout->ids) {
      if (id == "record") record = row;
      if (id == "png") png = row;
      if (id == "jpeg") jpeg = row;
      if (id == "list") longList = row;
    }
    db = std::make_unique<ContentDatabase>(folder + "/VROK-Vrok");
  }
  ~PageBook() { std::filesystem::remove_all(folder); }
};

PageBook& TheBook() {
  static PageBook book;
  return book;
}

void BM_BuildLargestRecordPage(benchmark::State& state) {
  PageBook& b = TheBook();
  std::size_t size = 0;
  for (auto _ : state) {
    RecordPage page(*b.db, ScreenMetrics{});  // a fresh builder: no cached page
    size = page.BuildPage(b.record).size();
    benchmark::DoNotOptimize(size);
  }
  state.counters["chars"] = static_cast<double>(size);
}

// Floor: the record's fields collected and their 200 texts read and joined.
void BM_FloorReadTheFields(benchmark::State& state) {
  PageBook& b = TheBook();
  for (auto _ : state) {
    std::vector<NodeRow> fields;
    NodeCursor(*b.db, b.record).CollectChildren(u"field", fields);
    std::u16string all;
    for (const NodeRow& f : fields) {
      std::u16string text;
      NodeCursor(f).ReadString(text);
      all += text;
    }
    benchmark::DoNotOptimize(all.size());
  }
}

// Shows html in a 240 x 294 pane once an iteration.
void ShowInAPane(benchmark::State& state, PageSource& source, const std::u16string& html) {
  QWidget host;
  host.resize(240, 294);
  auto* pane = new HtmlPane(&host, &source);
  pane->setGeometry(host.rect());
  host.show();
  for (auto _ : state) {
    pane->ShowHtml(html);
    benchmark::DoNotOptimize(pane->ScrollPosition());
  }
}

// Lays out html in a bare document at the pane's text width once an iteration.
void LayOutAlone(benchmark::State& state, const QString& html) {
  QTextDocument doc;
  doc.setTextWidth(224);
  for (auto _ : state) {
    doc.setHtml(html);
    benchmark::DoNotOptimize(doc.size().height());
  }
}

void BM_ShowLargestRecordPage(benchmark::State& state) {
  PageBook& b = TheBook();
  RecordPage page(*b.db, ScreenMetrics{});
  ShowInAPane(state, page, page.BuildPage(b.record));
}

// Floor: the widget library laying out the same document by itself.
void BM_FloorLayOutTheDocument(benchmark::State& state) {
  PageBook& b = TheBook();
  RecordPage page(*b.db, ScreenMetrics{});
  LayOutAlone(state, QString::fromStdU16String(ViewerHtml(page.BuildPage(b.record))));
}

// A page of untrusted markup nested state.range(0) deep: bold elements,
// then as many nested one-cell tables, then the text.
std::u16string NestedPage(std::int64_t depth) {
  std::u16string body;
  for (std::int64_t i = 0; i < depth; ++i) body += u"<B>";
  for (std::int64_t i = 0; i < depth; ++i) body += u"<TABLE><TR><TD>";
  body += u"text";
  return std::u16string(skeleton::kPageOpen) + body + std::u16string(skeleton::kPageClose);
}

void BM_ShowNestedPage(benchmark::State& state) {
  RecordPage page(*TheBook().db, ScreenMetrics{});
  ShowInAPane(state, page, NestedPage(state.range(0)));
}

// Floor: laying out the same text without its markup.
void BM_FloorShowFlatPage(benchmark::State& state) {
  LayOutAlone(state, QString::fromStdU16String(NestedPage(0)));
}

void BM_LoadFigure(benchmark::State& state) {
  PageBook& b = TheBook();
  const RowIndex row = state.range(0) == 0 ? b.png : b.jpeg;
  for (auto _ : state) {
    const LoadedPicture picture = LoadPicture(*b.db, row);
    if (picture.image.isNull()) state.SkipWithError("no picture");
    benchmark::DoNotOptimize(picture.image.constBits());
  }
}

// Floor: the image library decoding the same bytes, already in memory.
void BM_FloorDecode(benchmark::State& state) {
  PageBook& b = TheBook();
  const auto bytes = LoadPictureBytes(*b.db, state.range(0) == 0 ? b.png : b.jpeg, ScreenMetrics{});
  const QByteArray data(reinterpret_cast<const char*>(bytes->encoded.data()),
                        static_cast<qsizetype>(bytes->encoded.size()));
  for (auto _ : state) {
    const QImage image = QImage::fromData(data);
    benchmark::DoNotOptimize(image.constBits());
  }
}

// A list page of 10,000 links built and shown, to its first paint.
void BM_ShowLongListPage(benchmark::State& state) {
  PageBook& b = TheBook();
  ChildListPage page(*b.db, u"hierarchy item");
  QWidget host;
  host.resize(240, 294);
  auto* pane = new HtmlPane(&host, &page);
  pane->setGeometry(host.rect());
  host.show();
  for (auto _ : state) {
    pane->ShowPage(b.longList);
    QCoreApplication::processEvents();
    benchmark::DoNotOptimize(pane->ScrollPosition());
  }
  state.counters["links"] = kListLinks;
}

// The same page until all of it is in the viewer: the first paint, then
// the pieces that the event loop would append, appended at once.
void BM_ShowLongListPageWhole(benchmark::State& state) {
  PageBook& b = TheBook();
  ChildListPage page(*b.db, u"hierarchy item");
  QWidget host;
  host.resize(240, 294);
  auto* pane = new HtmlPane(&host, &page);
  pane->setGeometry(host.rect());
  host.show();
  for (auto _ : state) {
    pane->ShowPage(b.longList);
    QCoreApplication::processEvents();
    pane->Viewer().FinishLoading();
    QCoreApplication::processEvents();
    benchmark::DoNotOptimize(pane->ScrollPosition());
  }
  state.counters["links"] = kListLinks;
}

// Floor: the widget library laying out the same document by itself.
void BM_FloorLayOutLongList(benchmark::State& state) {
  PageBook& b = TheBook();
  ChildListPage page(*b.db, u"hierarchy item");
  LayOutAlone(state, QString::fromStdU16String(ViewerHtml(page.BuildPage(b.longList))));
}

BENCHMARK(BM_ShowLongListPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowLongListPageWhole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorLayOutLongList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildLargestRecordPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorReadTheFields)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowLargestRecordPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorLayOutTheDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ShowNestedPage)->Arg(100)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorShowFlatPage)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadFigure)->Arg(0)->Arg(1)->ArgNames({"jpeg"})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FloorDecode)->Arg(0)->Arg(1)->ArgNames({"jpeg"})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vrok

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
