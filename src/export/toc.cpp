// Step 12: a `nav` listing every heading in nested ordered lists, put first in the output.
#include "export/exporter.h"

namespace vedavi::exporter {

void Exporter::insert_toc() {
  const NodeId nav = dom_.create_element("nav", {{"class", "toc"}});
  const NodeId top_list = dom_.create_element("ol");
  must(dom_.insert_before(nav, top_list));
  struct OpenList {
    NodeId list;
    std::optional<int> level;  // set by the first heading that lands in it
  };
  std::vector<OpenList> open{{top_list, std::nullopt}};
  for (const NodeId heading : headings_) {
    const int level = dom_.tag(heading)->at(1) - '0';
    if (!open.back().level) open.back().level = level;
    while (*open.back().level > level && open.size() > 1) open.pop_back();
    if (*open.back().level < level) {
      const NodeId list = dom_.create_element("ol");
      const auto& items = dom_.node(open.back().list).children;
      must(dom_.insert_before(items.empty() ? open.back().list : items.back(), list));
      open.push_back({list, level});
    }
    const NodeId item = dom_.create_element("li");
    const NodeId entry = dom_.create_text(norm_text(dom_, heading));
    if (const auto id = dom_.attr(heading, "id")) {
      const NodeId link = dom_.create_element("a", {{"href", "#" + std::string(*id)}});
      must(dom_.insert_before(link, entry));
      must(dom_.insert_before(item, link));
    } else {
      must(dom_.insert_before(item, entry));
    }
    must(dom_.insert_before(open.back().list, item));
  }
  const auto& top_level = dom_.node(0).children;
  must(dom_.insert_before(0, nav, top_level.empty() ? std::nullopt : std::optional(top_level.front())));
}

}  // namespace vedavi::exporter
