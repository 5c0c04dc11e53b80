// Ordered-list rules and list reverting.
#include "block/lists.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <span>

#include "block/warm.h"
#include "model/line.h"

namespace vedavi::block {

namespace {

// One sibling run: which ordered lists to revert.
std::vector<std::size_t> lists_to_revert(const Drafts& drafts) {
  RevertScan scan;
  for (const Draft& d : drafts) scan.read(d.block);
  scan.end();
  std::vector<std::size_t> revert = std::move(scan.reverts());
  std::sort(revert.begin(), revert.end());
  return revert;
}

// A list's own attributes come from attribute lines next to it. When it turns back into text
// they go to the paragraph that now stands first, whose span takes in those lines, rather than
// vanish from the document.
void keep_list_attributes(const BlockSpan& list_span, const Attr& attr, Draft& front, Draft& back) {
  if (attr.empty()) return;
  Attr* first = draft_attr(front.block);
  if (!first) return;
  first->merge(attr);
  front.span.start = std::min(front.span.start, list_span.start);
  back.span.end = std::max(back.span.end, list_span.end);
}
void keep_list_attributes(const BlockSpan& list_span, const Attr& attr, Drafts& reverted) {
  if (!reverted.empty()) keep_list_attributes(list_span, attr, reverted.front(), reverted.back());
}

void show_marker_line(draft::Paragraph& para, std::string_view marker_line, std::size_t line);

// The list at `at` turned back into text in place when it is the commonest such list: one item
// whose one child is the paragraph on its marker line, which takes the list's place, as
// `revert_list` would give it, with no list of drafts made for it. Whether it was.
bool revert_in_place(Draft& at) {
  auto& list = std::get<draft::List>(at.block);
  if (list.items.size() != 1) return false;
  DraftListItem& item = list.items.front();
  if (item.children.size() != 1) return false;
  Draft& child = item.children.front();
  auto* para = std::get_if<draft::Paragraph>(&child.block);
  if (!para || child.span.start != item.line) return false;
  show_marker_line(*para, item.source, item.line);
  Draft kept = std::move(child);
  keep_list_attributes(at.span, list.attr, kept, kept);
  warm::KeptRooms& rooms = warm::kept_rooms();
  item.children.clear();
  rooms.children.give(std::move(item.children));
  list.items.clear();
  rooms.items.give(std::move(list.items));
  at = std::move(kept);
  return true;
}

// Puts each reverted list's drafts where the list stood, in place. A top-level run is the
// largest list of the parse; a second copy beside it would be the peak of the whole parse. Every
// item yields at least one draft, so the run never shrinks and filling it from the back writes
// only slots already read.
void splice_reverted(Drafts& drafts, const std::vector<std::size_t>& revert,
                     std::vector<Drafts>& reverted, std::size_t size) {
  const std::size_t old_size = drafts.size();
  if (size > drafts.capacity()) {
    // New room is needed anyway: each draft moves once, straight to its place in it.
    Drafts out;
    out.reserve(size);
    std::size_t r = 0;
    for (std::size_t p = 0; p < old_size; ++p) {
      if (r < revert.size() && revert[r] == p) {
        for (Draft& d : reverted[r]) out.push_back(std::move(d));
        reverted[r++] = Drafts();
      } else {
        out.push_back(std::move(drafts[p]));
      }
    }
    drafts = std::move(out);
    return;
  }
  drafts.resize(size);
  std::size_t to = size;
  std::size_t r = revert.size();
  for (std::size_t p = old_size; p-- > 0;) {
    if (r > 0 && revert[r - 1] == p) {
      Drafts& items = reverted[--r];
      for (std::size_t i = items.size(); i-- > 0;) drafts[--to] = std::move(items[i]);
      items = Drafts();
    } else if (--to != p) {
      drafts[to] = std::move(drafts[p]);
    }
  }
}

// Turns the lists at `revert` (ascending positions in `drafts`) back into text. `splice_extra`
// given: each list's drafts stay together in a splice where the list stood, which blocks are
// finished from as from the drafts themselves, and how many drafts more than their places the
// splices hold is added to it; the top-level run, read by no rule after this one, takes them so,
// and the thousands of drafts after its first reverted list are not moved up. Otherwise
// `revert` keeps the positions of the lists whose drafts were spliced in.
void revert_lists(Drafts& drafts, std::vector<std::size_t>& revert, std::size_t* splice_extra = nullptr) {
  if (splice_extra) {
    for (std::size_t p : revert) {
      if (revert_in_place(drafts[p])) continue;
      auto& list = std::get<draft::List>(drafts[p].block);
      Drafts items = revert_list(std::move(list.items), list.tight);
      keep_list_attributes(drafts[p].span, list.attr, items);
      if (items.size() == 1) {
        drafts[p] = std::move(items.front());
      } else {
        *splice_extra += items.size() - 1;
        drafts[p].block.emplace<draft::Splice>(draft::Splice{std::move(items)});
      }
    }
    return;
  }
  // Lists turned back in place leave the run as long as it was: only the others are spliced.
  std::size_t kept = 0;
  for (std::size_t p : revert)
    if (!revert_in_place(drafts[p])) revert[kept++] = p;
  revert.resize(kept);
  if (revert.empty()) return;
  std::vector<Drafts> reverted;
  reverted.reserve(revert.size());
  std::size_t size = drafts.size() - revert.size();
  for (std::size_t p : revert) {
    auto& list = std::get<draft::List>(drafts[p].block);
    Drafts items = revert_list(std::move(list.items), list.tight);
    keep_list_attributes(drafts[p].span, list.attr, items);
    size += items.size();
    reverted.push_back(std::move(items));
  }
  splice_reverted(drafts, revert, reverted, size);
}

// Whether a list of the run was reverted. `splice_extra`: as `revert_lists` takes it.
bool enforce_run(Drafts& drafts, std::size_t* splice_extra = nullptr) {
  // Only ordered lists are ever turned back: most runs hold none and need no scan.
  if (std::none_of(drafts.begin(), drafts.end(), [](const Draft& d) {
        const auto* list = std::get_if<draft::List>(&d.block);
        return list && list->ordered;
      }))
    return false;
  std::vector<std::size_t> revert = lists_to_revert(drafts);
  if (revert.empty()) return false;
  revert_lists(drafts, revert, splice_extra);
  return true;
}

// The paragraph's text shows `marker_line` as its first line: the line an item of an outer list
// began on, from that item's marker on. The view replaces the first line of the text, or stands
// before all of it when link definitions took the item's line.
void show_marker_line(draft::Paragraph& para, std::string_view marker_line, std::size_t line) {
  if (!para.marker_line) {
    if (para.text_line == line) {
      const std::size_t nl = para.text.find('\n');
      para.text.erase(0, nl == std::string::npos ? para.text.size() : nl + 1);
    }
    para.text_line = line;
  }
  // An earlier marker line was the first line of the text: the wider view replaces it, ending
  // where that one ended, so a line cut short for a nested block is not shown in full.
  if (para.marker_line && para.marker_line->data() >= marker_line.data() &&
      para.marker_line->data() + para.marker_line->size() <= marker_line.data() + marker_line.size())
    marker_line = std::string_view(marker_line.data(),
                                   para.marker_line->data() + para.marker_line->size() - marker_line.data());
  para.marker_line = marker_line;
}

// Writes the marker line into the paragraph's text. A marker line that is the paragraph's only line
// is its last line, trimmed at the end as a paragraph's last line always is.
void settle_marker_line(draft::Paragraph& para) {
  if (!para.marker_line) return;
  if (para.text.empty()) {
    para.text = Str(line::trim_end(*para.marker_line));
  } else {
    // Written once, straight into the arena the text lives in.
    const std::string_view head = *para.marker_line;
    const std::size_t size = head.size() + 1 + para.text.size();
    char* out = static_cast<char*>(current_arena().allocate(size, 1));
    std::memcpy(out, head.data(), head.size());
    out[head.size()] = '\n';
    std::memcpy(out + head.size() + 1, para.text.data(), para.text.size());
    para.text = Str::borrowed(std::string_view(out, size));
  }
  para.marker_line.reset();
}

// Every paragraph of the tree with its marker line written out. `pass_quiet_lists`: lists that no
// rule could change hold no marker line and are not walked.
void settle_marker_lines(Drafts& drafts, bool pass_quiet_lists = false) {
  std::vector<Drafts*> work{&drafts};
  while (!work.empty()) {
    Drafts* run = work.back();
    work.pop_back();
    for (Draft& d : *run) {
      if (auto* para = std::get_if<draft::Paragraph>(&d.block)) settle_marker_line(*para);
      if (auto* list = std::get_if<draft::List>(&d.block); pass_quiet_lists && list && !list->rules_below)
        continue;
      for_each_child_list(d.block, [&](Drafts& c) { work.push_back(&c); });
    }
  }
}

// Applies the rules to every run nested in `drafts`, children before parents; whether a list
// was reverted.
bool enforce_nested(std::span<Draft> drafts) {
  // Every child list is handled before the list that holds its parent: the lists are collected
  // parents first, then handled in reverse.
  struct Run {
    Drafts* drafts;
    bool in_tight_list;  // the children of an item of a tight list
  };
  std::vector<Run> runs;
  std::vector<Run> work;
  auto push_children = [&](Draft& d) {
    // A quote whose children were decided as its lines were read.
    if (auto* quote = std::get_if<draft::BlockQuote>(&d.block); quote && quote->enforced) return;
    auto* list = std::get_if<draft::List>(&d.block);
    bool tight = list && list->tight;
    for_each_child_list(d.block, [&](Drafts& c) { work.push_back(Run{&c, tight}); });
  };
  for (Draft& d : drafts) push_children(d);
  while (!work.empty()) {
    Run run = work.back();
    work.pop_back();
    runs.push_back(run);
    for (Draft& d : *run.drafts) push_children(d);
  }
  bool reverted = false;
  for (std::size_t i = runs.size(); i-- > 0;) {
    reverted = enforce_run(*runs[i].drafts) || reverted;
    if (runs[i].in_tight_list) merge_adjacent_paragraphs(*runs[i].drafts);
  }
  return reverted;
}

}  // namespace

void RevertScan::read_heading_or_list(const DraftBlock& b) {
  const std::size_t p = read_++;
  if (auto* h = std::get_if<draft::Heading>(&b)) {
    if (state_ != State::Idle && h->level <= section_level_) {
      drop_pending_single();
      state_ = State::Idle;
    }
    last_heading_ = h->level;
  } else if (auto* list = std::get_if<draft::List>(&b)) {
    if (!list->ordered) {
      drop_pending_single();
      state_ = State::Idle;
      return;
    }
    std::size_t f = list->items.front().number;
    std::size_t l = list->items.back().number;
    auto pend = [&] {
      state_ = State::Pending;
      current_ = p;
      current_single_ = list->items.size() == 1;
      prev_last_ = l;
      section_level_ = last_heading_;
    };
    if (state_ == State::Idle) {
      if (f == 1)
        pend();
      else
        revert_.push_back(p);
    } else if (f == prev_last_ || f == prev_last_ + 1) {
      state_ = State::Continuing;
      current_ = p;
      prev_last_ = l;
    } else if (f != 1) {
      revert_.push_back(p);
    } else {
      drop_pending_single();
      pend();
    }
  }
}

std::size_t enforce_front(Drafts& drafts, std::size_t n, std::size_t base, RevertScan& scan) {
  bool reverted = enforce_nested(std::span<Draft>(drafts.data(), n));
  // The scan's reverts among the `n`, taken out of its list.
  std::vector<std::size_t> here;
  std::vector<std::size_t>& all = scan.reverts();
  std::size_t kept = 0;
  for (std::size_t pos : all) {
    if (pos >= base && pos - base < n)
      here.push_back(pos - base);
    else
      all[kept++] = pos;
  }
  all.resize(kept);
  std::size_t m = n;
  if (!here.empty()) {
    std::sort(here.begin(), here.end());
    // The front as a run of its own, reverted, put back in place of the `n`.
    Drafts front(std::make_move_iterator(drafts.begin()),
                 std::make_move_iterator(drafts.begin() + static_cast<std::ptrdiff_t>(n)));
    revert_lists(front, here);
    m = front.size();
    drafts.erase(drafts.begin(), drafts.begin() + static_cast<std::ptrdiff_t>(n));
    drafts.insert(drafts.begin(), std::make_move_iterator(front.begin()), std::make_move_iterator(front.end()));
    reverted = true;
  }
  if (reverted) {
    for (std::size_t i = 0; i < m; ++i) {
      if (auto* para = std::get_if<draft::Paragraph>(&drafts[i].block)) settle_marker_line(*para);
      for_each_child_list(drafts[i].block, [](Drafts& c) { settle_marker_lines(c); });
    }
  }
  return m;
}

void enforce_item(Drafts& children) {
  bool reverted = enforce_nested(children);
  reverted = enforce_run(children) || reverted;
  if (reverted) settle_marker_lines(children);
}

std::size_t enforce_ordered_lists(Drafts& drafts) {
  // Every child list is handled before the list that holds its parent: the lists are collected
  // parents first, then handled in reverse.
  struct Run {
    Drafts* drafts;
    bool in_tight_list;  // the children of an item of a tight list
  };
  std::vector<Run> runs;
  std::vector<Run> work{{&drafts, false}};
  while (!work.empty()) {
    Run run = work.back();
    work.pop_back();
    runs.push_back(run);
    for (Draft& d : *run.drafts) {
      auto* list = std::get_if<draft::List>(&d.block);
      // A list with no ordered list below it and no item holding two paragraphs in a row: the
      // rules change none of its runs.
      if (list && !list->rules_below) continue;
      bool tight = list && list->tight;
      for_each_child_list(d.block, [&](Drafts& c) { work.push_back(Run{&c, tight}); });
    }
  }
  bool reverted = false;
  std::size_t splice_extra = 0;
  for (std::size_t i = runs.size(); i-- > 0;) {
    // The top-level run, the first, is the last the rules read.
    reverted = enforce_run(*runs[i].drafts, i == 0 ? &splice_extra : nullptr) || reverted;
    if (runs[i].in_tight_list) merge_adjacent_paragraphs(*runs[i].drafts);
  }
  if (reverted) settle_marker_lines(drafts, true);
  return splice_extra;
}

Drafts revert_list(std::vector<DraftListItem> items, bool tight) {
  // Every item gives its children and at most one paragraph more: one room for all of them.
  std::size_t size = 0;
  for (const DraftListItem& item : items) size += item.children.size() + 1;
  Drafts out;
  out.reserve(size);
  for (DraftListItem& item : items) revert_item(item, out);
  items.clear();
  warm::kept_rooms().items.give(std::move(items));
  if (tight) merge_adjacent_paragraphs(out);
  return out;
}

void revert_item(DraftListItem& item, Drafts& out) {
  if (!item.children.empty()) {
    Draft& first = item.children.front();
    auto* para = std::get_if<draft::Paragraph>(&first.block);
    if (para && first.span.start == item.line) {
      show_marker_line(*para, item.source, item.line);
      for (Draft& d : item.children) out.push_back(std::move(d));
      item.children.clear();  // the emptied room goes now, not with the whole list
      warm::kept_rooms().children.give(std::move(item.children));
      return;
    }
  }
  // The marker line becomes a paragraph of its own. When a child shows the rest of that line
  // (a heading, a quote, a nested list), the paragraph keeps only the marker and the item's
  // attribute block and task box, so the content is not written twice.
  std::string_view shown = item.source;
  if (!item.children.empty() && item.children.front().span.start == item.line)
    shown = shown.substr(0, std::min(item.content_offset, shown.size()));
  while (!shown.empty() && (shown.back() == ' ' || shown.back() == '\t')) shown.remove_suffix(1);
  // The paragraph keeps the view, so that an outer item reverted in turn widens it rather than
  // showing its whole line.
  BlockSpan span = BlockSpan::of("paragraph", item.line, item.line + 1);
  out.push_back(Draft{std::move(span), draft::Paragraph{{}, std::string(), item.line, shown}});
  for (Draft& d : item.children) out.push_back(std::move(d));
  item.children.clear();
  warm::kept_rooms().children.give(std::move(item.children));
}

void merge_adjacent_paragraphs(Drafts& drafts) {
  bool adjacent = false;
  for (std::size_t i = 1; i < drafts.size() && !adjacent; ++i)
    adjacent = std::holds_alternative<draft::Paragraph>(drafts[i - 1].block) &&
               std::holds_alternative<draft::Paragraph>(drafts[i].block);
  if (!adjacent) return;
  // Closed up in place: the kept drafts move down over the joined ones, and no second list is made.
  std::size_t kept_count = 0;
  bool last_kept_paragraph = false;
  for (std::size_t i = 0; i < drafts.size(); ++i) {
    Draft& d = drafts[i];
    auto* para = std::get_if<draft::Paragraph>(&d.block);
    if (para && last_kept_paragraph) {
      Draft& kept = drafts[kept_count - 1];
      auto& kp = std::get<draft::Paragraph>(kept.block);
      settle_marker_line(kp);
      settle_marker_line(*para);
      kp.text.push_back('\n');
      kp.text += para->text;
      kept.span.end = d.span.end;
      continue;
    }
    last_kept_paragraph = para != nullptr;
    if (kept_count != i) drafts[kept_count] = std::move(d);
    ++kept_count;
  }
  drafts.erase(drafts.begin() + static_cast<std::ptrdiff_t>(kept_count), drafts.end());
}

}  // namespace vedavi::block
