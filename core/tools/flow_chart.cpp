#include "core/tools/flow_chart.h"

#include "content/node_cursor.h"
#include "core/pages/page_text.h"

namespace vrok {

namespace {

constexpr std::u16string_view kMenuClose = u"</MENU></FONT></BODY></HTML>";

std::u16string MenuItem(RowIndex target, std::u16string_view label) {
  return u"<LI><A HREF='" + Decimal(target) + u"'>" + std::u16string(label) + u"</A>";
}

}  // namespace

bool FlowChartSource::Accepts(const ContentDatabase& db, RowIndex row) {
  NodeCursor c(db, row);
  if (!c.IsOpen() || (!c.FieldIs(u"table") && !c.ToAncestor(u"table"))) return false;
  std::u16string type;
  return c.ToChild(u"table type") && c.ReadString(type) && type == u"flow chart";
}

void FlowChartSource::Open(RowIndex chart) {
  chart_ = chart;
  path_.clear();
}

bool FlowChartSource::IsInsideChart(RowIndex row) const {
  NodeCursor c(db_, row);
  return c.IsOpen() && c.ToAncestor(u"table") && c.Row().row == chart_;
}

std::u16string FlowChartSource::BackLink() const {
  return path_.empty() ? std::u16string() : MenuItem(path_.back().question, u"Back");
}

std::u16string FlowChartSource::BuildPage(std::uint32_t row) { return Build(row, 0); }

std::u16string FlowChartSource::Build(RowIndex row, int hops) {
  std::u16string page(skeleton::kPageOpen);
  NodeCursor c(db_, row);
  if (!c.IsOpen() || hops > kMaxHops) return page;
  // The chart's own page starts at its first question; properties such as
  // its "table type" may come first among its children.
  if (c.FieldIs(u"table")) {
    NodeCursor first = c;
    if (!first.ToFirstChild()) return page;
    if (!first.FieldIs(u"question")) {
      first = c;
      if (!first.ToChild(u"question")) return page;
    }
    c = first;
    row = c.Row().row;
  }
  // Tapping Back names the question before the last step: drop both steps,
  // the question is pushed again below.
  if (path_.size() >= 2 && path_[path_.size() - 2].question == row) {
    path_.resize(path_.size() - 2);
  }

  if (c.FieldIs(u"question")) {
    page += TextOf(c) + u"<MENU>";
    std::vector<NodeRow> answers;
    c.CollectChildren(u"answer", answers);
    for (const NodeRow& a : answers) page += MenuItem(a.row, TextOf(NodeCursor(a)));
    page += BackLink() + std::u16string(kMenuClose);
    path_.push_back({row, 0});
    return page;
  }
  if (c.FieldIs(u"answer")) {
    if (!path_.empty()) path_.back().answer = row;
    if (NodeCursor result = c; result.ToChild(u"result")) return Build(result.Row().row, hops + 1);
    if (NodeCursor next = c; next.ToChild(u"next question"))
      return Build(next.Row().value, hops + 1);
    return page;
  }
  if (c.FieldIs(u"result")) {
    page += TextOf(c) + u"<MENU>";
    NodeCursor parent = c;
    if (NodeCursor following = c; following.ToNextNamed(u"result")) {
      page += MenuItem(following.Row().row, u"Next");
    } else if (parent.ToParent() && parent.ToChild(u"next question")) {
      page += MenuItem(parent.Row().value, u"Next");
    } else if (NodeCursor table = c; table.ToAncestor(u"table")) {
      page += MenuItem(table.Row().row, u"Start");
    }
    page += BackLink() + std::u16string(kMenuClose);
    path_.push_back({row, 0});
    return page;
  }
  return page;
}

}  // namespace vrok
