// The inline scanner: one explicit stack of frames, each converting a range of a source into
// the inline list that its finished construct wraps.
#include "wikitext/inlines.h"

#include <array>
#include <set>
#include <span>

#include "text/entity.h"
#include "text/scan.h"
#include "text/unicode.h"
#include "text/utf8.h"
#include "wikitext/tags.h"
#include "wikitext/templates.h"

namespace vedavi::wikitext {

void Notes::add(Footnote footnote) {
  labels_.insert(footnote.label);
  list_.push_back(std::move(footnote));
}

void Notes::rollback(std::size_t mark) {
  while (list_.size() > mark) {
    labels_.erase(list_.back().label);
    list_.pop_back();
  }
}

std::string link_target(std::string_view target) {
  std::string url;
  const bool keep = target.find("://") != std::string_view::npos ||
                    target.starts_with("mailto:") || target.starts_with("#");
  if (!keep) url = "./";
  for (char c : target) {
    if (c == ' ') url += keep ? "%20" : "_";
    else if (c == '(') url += "%28";
    else if (c == ')') url += "%29";
    else url += c;
  }
  return url;
}

namespace document {

void push_text(Inlines& inlines, std::string_view text) {
  if (text.empty()) return;
  std::string with_references;
  if (text.find('&') != std::string_view::npos) {
    with_references = entity::decode_entities(text);
    text = with_references;
  }
  const std::string_view decoded = text;
  std::size_t begin = 0;
  for (;;) {
    const std::size_t feed = decoded.find('\n', begin);
    const std::string_view piece =
        decoded.substr(begin, feed == std::string::npos ? std::string::npos : feed - begin);
    if (!piece.empty()) {
      auto* last = inlines.empty() ? nullptr : inlines.back().get_if<Inline::Text>();
      if (last) last->text += piece;
      else inlines.push_back(Inline::Text{std::string(piece)});
    }
    if (feed == std::string::npos) return;
    inlines.push_back(Inline::SoftBreak{});
    begin = feed + 1;
  }
}

std::optional<std::string> inline_text(const Inlines& inlines) {
  std::string out;
  std::vector<std::span<const Inline>> stack{std::span<const Inline>(inlines)};
  while (!stack.empty()) {
    auto& rest = stack.back();
    if (rest.empty()) {
      stack.pop_back();
      continue;
    }
    const Inline& node = rest.front();
    rest = rest.subspan(1);
    switch (node.kind()) {
      case InlineKind::Text: out += node.get_if<Inline::Text>()->text; break;
      case InlineKind::SoftBreak: out += ' '; break;
      case InlineKind::Emph:
      case InlineKind::Strong:
      case InlineKind::Span: stack.push_back(*node.children()); break;
      default: return std::nullopt;
    }
  }
  return out;
}

namespace {

// What a frame's inline list becomes when its range is done.
enum class Wrap : std::uint8_t {
  Root, Emph, Strong, StrongEmph, Link, Image, Span, Script, Note, NamedRef, Arg, Operation,
  // A link inside another link's label: its label stays text of the outer label.
  InnerLink,
};

struct Frame {
  Frame(Source* scanned, std::size_t begin, std::size_t stop, Wrap wrapping)
      : source(scanned), pos(begin), end(stop), wrap(wrapping) {}

  Source* source;
  std::size_t pos;
  std::size_t end;
  Wrap wrap;
  Inlines out;
  // The frame whose `out` receives this frame's nodes: itself, or for an inner link the frame
  // that receives its parent's.
  std::size_t target = 0;
  // The link whose label this frame's nodes belong to, if any, and (on that link's frame) the
  // footnote references and category links of its label, which go right after the link: the
  // output never holds a link inside a link.
  std::size_t label_of = SIZE_MAX;
  Inlines after_link;
  std::string text;   // link and image URL, footnote label
  Attr attr;          // span, superscript, subscript and image attributes
  bool is_subscript = false;
  // A superscript or subscript whose content is not plain text is not one: its footnotes are
  // dropped, its opening tag stays raw HTML and the scan goes on after that tag.
  std::size_t notes_mark = 0;
  Range opening_tag;
  std::optional<std::string> arg_name;
  // An operation gathering its arguments one frame at a time.
  Inline::Operation operation;
  std::vector<ArgText> args;
  std::size_t next_arg = 0;
};

constexpr std::array<std::string_view, 4> kNestTagNames = {"span", "small", "sup", "sub"};

// Bytes that end a run of plain text.
constexpr std::array<bool, 256> kTextStops = [] {
  std::array<bool, 256> stops{};
  for (unsigned char c : std::string_view("<[{'")) stops[c] = true;
  return stops;
}();

bool is_behavior_byte(char c) { return (c >= 'A' && c <= 'Z') || c == '_'; }

// Whether a white-space separated word of a math tag's attributes asks for display math.
bool is_display_math(std::string_view attributes) {
  for (std::string_view word : unicode::split_white_space(attributes)) {
    std::string lower(word);
    for (char& c : lower) c = scan::to_ascii_lower(c);
    if (lower == "display=block" || lower == "display='block'" || lower == "display=\"block\"")
      return true;
  }
  return false;
}

// The label of a reference whose attributes are exactly one "name" pair.
std::optional<std::string> reference_name(std::string_view attributes) {
  if (attributes.size() < 4 || !scan::ascii_iequals(attributes.substr(0, 4), "name"))
    return std::nullopt;
  std::size_t pos = skip_white_space(attributes, 4);
  if (pos >= attributes.size() || attributes[pos] != '=') return std::nullopt;
  ++pos;
  std::string_view value;
  std::size_t after;
  if (pos < attributes.size() && (attributes[pos] == '"' || attributes[pos] == '\'')) {
    const std::size_t close = attributes.find(attributes[pos], pos + 1);
    if (close == std::string_view::npos) return std::nullopt;
    value = attributes.substr(pos + 1, close - pos - 1);
    after = close + 1;
  } else {
    after = find_white_space(attributes, pos);
    value = attributes.substr(pos, after - pos);
  }
  if (value.empty() || after != attributes.size()) return std::nullopt;
  return std::string(value);
}

bool is_plain_kind(InlineKind kind);

class Converter {
 public:
  explicit Converter(Notes& notes) : notes_(notes) {}

  Inlines run(Source& source, Range range) {
    push_frame(&source, range.begin, range.end, Wrap::Root);
    for (;;) {
      Frame& top = stack_.back();
      if (top.wrap == Wrap::Operation) {
        next_argument();
        if (is_script_doomed_) give_up_script();
        continue;
      }
      if (top.pos < top.end) step();
      else if (stack_.size() == 1) return std::move(top.out);
      else finish();
      if (is_script_doomed_) give_up_script();
    }
  }

 private:
  Frame& top() { return stack_.back(); }
  Inlines& out() { return stack_[top().target].out; }
  std::string_view text() { return top().source->text(); }
  Frame& push_frame(Source* source, std::size_t begin, std::size_t end, Wrap wrap) {
    Frame& frame = stack_.emplace_back(source, begin, end, wrap);
    frame.target = stack_.size() - 1;
    return frame;
  }
  void emit(Inline node) {
    if (script_frame_ != kNoFrame && !is_plain_kind(node.kind())) is_script_doomed_ = true;
    else if (top().label_of != kNoFrame && keep_out_of_label(node)) return;
    out().push_back(std::move(node));
  }
  bool keep_out_of_label(Inline& node);
  void emit_text(std::size_t begin, std::size_t end) {
    push_text(out(), text().substr(begin, end - begin));
  }
  // The rest of the frame's range as one raw wikitext inline, ending the frame.
  void emit_rest_raw() {
    Frame& f = top();
    emit(Inline::RawInline{"wikitext", std::string(text().substr(f.pos, f.end - f.pos))});
    f.pos = f.end;
  }
  // Opens a frame over `content`; the current frame continues at `resume` once it is done.
  Frame& open(Wrap wrap, Range content, std::size_t resume) {
    Source* source = top().source;
    top().pos = resume;
    note_opening(wrap);
    const std::size_t parent = stack_.size() - 1;
    Frame& child = push_frame(source, content.begin, content.end, wrap);
    const std::size_t label_of = stack_[parent].label_of;
    if (wrap == Wrap::Link && label_of != kNoFrame) {
      child.wrap = Wrap::InnerLink;
      child.target = stack_[parent].target;
      child.label_of = label_of;
    } else if (wrap == Wrap::Link) {
      child.label_of = parent + 1;
    } else if (wrap != Wrap::Image && wrap != Wrap::Note && wrap != Wrap::NamedRef) {
      child.label_of = label_of;  // emphasis, spans and scripts inside a label
    }
    if (wrap == Wrap::Script && script_frame_ == kNoFrame) script_frame_ = stack_.size() - 1;
    return child;
  }
  // Inside a superscript or subscript only plain text and its wrappers may open.
  void note_opening(Wrap wrap) {
    const bool is_plain_wrap = wrap == Wrap::Emph || wrap == Wrap::Strong ||
                               wrap == Wrap::StrongEmph || wrap == Wrap::Span;
    if (script_frame_ != kNoFrame && !is_plain_wrap) is_script_doomed_ = true;
  }

  void step();
  bool comment();
  bool reference();
  bool math();
  bool nowiki();
  bool brace();
  bool internal_link();
  bool external_link();
  bool quotes();
  bool behavior_switch();
  void html_tag();
  void plain_text();
  void next_argument();
  void finish();
  void finish_script(Frame& done);
  void give_up_script();

  static constexpr std::size_t kNoFrame = SIZE_MAX;

  Notes& notes_;
  SourcePool pool_;
  std::vector<Frame> stack_;
  // The open superscript or subscript frame. Its content must come out as plain text, so the
  // first node that is not plain settles that it is no superscript: the scan gives it up at
  // once, and a tag given up once is not tried again. Converting the rest first, and every
  // nested one again after its parent failed, would take exponential time.
  std::size_t script_frame_ = kNoFrame;
  bool is_script_doomed_ = false;
  std::set<std::pair<const Source*, std::size_t>> given_up_tags_;
};

bool is_plain_kind(InlineKind kind) {
  return kind == InlineKind::Text || kind == InlineKind::SoftBreak || kind == InlineKind::Emph ||
         kind == InlineKind::Strong || kind == InlineKind::Span;
}

// Inlines of nothing but white space: a named reference with such a body reuses its label.
bool is_blank(const Inlines& inlines) {
  for (const Inline& node : inlines) {
    if (node.kind() == InlineKind::SoftBreak) continue;
    const auto* text = node.get_if<Inline::Text>();
    if (!text || !unicode::trim(text->text).empty()) return false;
  }
  return true;
}

// A node bound for a link's label that would write a link of its own: a bare URL stays its
// text, footnote references and category links wait for the end of the link. Links with a
// label of their own never get here; their frames write into the outer label.
bool Converter::keep_out_of_label(Inline& node) {
  switch (node.kind()) {
    case InlineKind::Autolink: {
      const std::string url = std::move(node.get_if<Inline::Autolink>()->text);
      auto* last = out().empty() ? nullptr : out().back().get_if<Inline::Text>();
      if (last) last->text += url;
      else out().push_back(Inline::Text{url});
      return true;
    }
    case InlineKind::FootnoteRef:
    case InlineKind::Note:
    case InlineKind::Link:
      stack_[top().label_of].after_link.push_back(std::move(node));
      return true;
    default: return false;
  }
}

// The superscript cannot hold its content: its opening tag stays raw HTML, its footnotes go,
// and the scan goes on after the tag in the frame below.
void Converter::give_up_script() {
  Frame& script = stack_[script_frame_];
  const Range tag = script.opening_tag;
  const Source* source = script.source;
  notes_.rollback(script.notes_mark);
  given_up_tags_.insert({source, tag.begin});
  stack_.erase(stack_.begin() + static_cast<std::ptrdiff_t>(script_frame_), stack_.end());
  script_frame_ = kNoFrame;
  is_script_doomed_ = false;
  top().pos = tag.end;
  emit(Inline::RawInline{"html", std::string(source->text().substr(tag.begin, tag.size()))});
}

void Converter::step() {
  switch (text()[top().pos]) {
    case '<':
      if (comment() || reference() || math() || nowiki()) return;
      html_tag();
      return;
    case '{':
      if (brace()) return;
      break;
    case '[':
      if (internal_link() || external_link()) return;
      break;
    case '\'':
      if (quotes()) return;
      break;
    case '_':
      if (behavior_switch()) return;
      break;
    default: break;
  }
  plain_text();
}

bool Converter::comment() {
  Frame& f = top();
  if (!f.source->starts_with(f.pos, f.end, "<!--")) return false;
  const auto close = f.source->find(Needle::CommentEnd, f.pos, f.end);
  f.pos = close ? *close + 3 : f.end;
  return true;
}

bool Converter::reference() {
  Frame& f = top();
  Source& source = *f.source;
  const std::size_t p = f.pos;
  if (!source.starts_with_fold(p, f.end, "<ref") || p + 4 >= f.end ||
      !is_tag_delimiter(text()[p + 4]))
    return false;
  const std::size_t s_end = p + ref_len(source, p, f.end);
  const auto gt = source.find(Needle::Gt, p, s_end);
  const std::string_view whole = text().substr(p, s_end - p);
  auto raw = [&] {
    emit(Inline::RawInline{"wikitext", std::string(whole)});
    top().pos = s_end;
    return true;
  };
  if (!gt) return raw();
  const std::string_view raw_attrs = text().substr(p + 4, *gt - p - 4);
  const bool self_closing = unicode::trim_end(raw_attrs).ends_with('/');
  std::string_view attributes = raw_attrs;
  while (attributes.ends_with('/')) attributes.remove_suffix(1);
  attributes = unicode::trim(attributes);
  const auto close = self_closing ? std::nullopt : source.find(Needle::RefClose, *gt + 1, s_end);
  const Range content{*gt + 1, close ? *close : 0};
  if (attributes.empty()) {
    if (!close) return raw();
    open(Wrap::Note, content, s_end);
    return true;
  }
  auto label = reference_name(attributes);
  if (!label) return raw();
  if (self_closing) {
    emit(Inline::FootnoteRef{std::move(*label)});
    f.pos = s_end;
    return true;
  }
  if (!close) return raw();
  open(Wrap::NamedRef, content, s_end).text = std::move(*label);
  return true;
}

bool Converter::math() {
  Frame& f = top();
  if (!f.source->starts_with_fold(f.pos, f.end, "<math")) return false;
  const auto gt = f.source->find(Needle::Gt, f.pos, f.end);
  const auto close = gt ? f.source->find_range(Needle::MathClose, *gt + 1, f.end) : std::nullopt;
  if (!close) {
    emit_rest_raw();
    return true;
  }
  Inline::MathInline math;
  math.display = is_display_math(text().substr(f.pos + 5, *gt - f.pos - 5));
  math.tex = std::string(text().substr(*gt + 1, close->begin - *gt - 1));
  f.pos = close->end;
  emit(std::move(math));
  return true;
}

// "<nowiki>...</nowiki>": its content is text, its markup never read; "<nowiki/>" is nothing.
bool Converter::nowiki() {
  Frame& f = top();
  Source& source = *f.source;
  constexpr std::size_t kOpenerSize = std::string_view("<nowiki").size();
  if (!source.starts_with_fold(f.pos, f.end, "<nowiki") || f.pos + kOpenerSize >= f.end ||
      !is_tag_delimiter(text()[f.pos + kOpenerSize]))
    return false;
  const auto gt = source.find(Needle::Gt, f.pos, f.end);
  if (!gt) return false;
  if (text()[*gt - 1] == '/') {
    f.pos = *gt + 1;
    return true;
  }
  const auto close = source.find_range(Needle::NowikiClose, *gt + 1, f.end);
  if (!close) return false;
  emit_text(*gt + 1, close->begin);
  f.pos = close->end;
  return true;
}

bool Converter::brace() {
  Frame& f = top();
  Source& source = *f.source;
  const auto kind = source.brace_at(f.pos, f.end);
  if (!kind || *kind == Brace::Link) return false;
  const bool is_parameter = *kind == Brace::Parameter;
  const std::size_t brace_size = is_parameter ? 3 : 2;
  const auto closer = source.balanced(f.pos + brace_size, f.end, *kind);
  if (!closer) {
    emit_rest_raw();
    return true;
  }
  const Range whole{f.pos, *closer + brace_size};
  OperationPlan plan = plan_operation(source, is_parameter,
                                      Range{f.pos + brace_size, *closer}, whole, pool_);
  f.pos = whole.end;
  if (plan.raw) {
    emit(std::move(*plan.raw));
    return true;
  }
  note_opening(Wrap::Operation);
  push_frame(&source, 0, 0, Wrap::Operation);
  top().operation = std::move(plan.operation);
  top().args = std::move(plan.args);
  return true;
}

void Converter::next_argument() {
  Frame& f = top();
  if (f.next_arg < f.args.size()) {
    ArgText arg = std::move(f.args[f.next_arg++]);  // the push may move `f`
    push_frame(arg.source, arg.value.begin, arg.value.end, Wrap::Arg).arg_name = std::move(arg.name);
    return;
  }
  Inline::Operation operation = std::move(f.operation);
  stack_.pop_back();
  emit(std::move(operation));
}

bool Converter::internal_link() {
  Frame& f = top();
  Source& source = *f.source;
  if (!source.starts_with(f.pos, f.end, "[[")) return false;
  const auto closer = source.balanced(f.pos + 2, f.end, Brace::Link);
  if (!closer) {
    emit_rest_raw();
    return true;
  }
  const Range inner{f.pos + 2, *closer};
  const Range whole{f.pos, *closer + 2};
  const auto first_bar = source.find_top(inner, "|");
  const Range target_range = trim_range(source, Range{inner.begin, first_bar.value_or(inner.end)});
  const std::string target(source.slice(target_range));
  std::string lower = target;
  for (char& c : lower) c = scan::to_ascii_lower(c);
  if (lower.starts_with("category:")) {
    // The sort key is everything after the first bar, so no piece of it is lost.
    Inline::Link link{link_target(target), std::nullopt, {}, {}};
    const Range key = first_bar ? trim_range(source, Range{*first_bar + 1, inner.end}) : Range{};
    link.attr.set_pair("data-mediawiki-category", std::string(source.slice(key)));
    f.pos = whole.end;
    emit(std::move(link));
    return true;
  }
  if (lower.starts_with("file:") || lower.starts_with("image:")) {
    Attr attr;
    attr.set_pair("data-mediawiki-source", std::string(source.slice(whole)));
    if (!first_bar) {
      f.pos = whole.end;
      emit(Inline::Image{link_target(target), std::nullopt, std::move(attr), {}});
      return true;
    }
    const Range caption = trim_range(source, source.split_top(inner, "|").back());
    Frame& image = open(Wrap::Image, caption, whole.end);
    image.text = link_target(target);
    image.attr = std::move(attr);
    return true;
  }
  // A plain link's label is everything after the first bar: a label may hold bars of its own.
  Range label = first_bar ? trim_range(source, Range{*first_bar + 1, inner.end}) : target_range;
  // A link inside another's label leaves only its label behind: an empty one would take the
  // target's words with it, so the target stands in for it.
  if (f.label_of != kNoFrame && label.begin == label.end) label = target_range;
  open(Wrap::Link, label, whole.end).text = link_target(target);
  return true;
}

bool Converter::external_link() {
  Frame& f = top();
  Source& source = *f.source;
  const std::size_t p = f.pos;
  if (!source.starts_with(p + 1, f.end, "http://") && !source.starts_with(p + 1, f.end, "https://") &&
      !source.starts_with(p + 1, f.end, "mailto:"))
    return false;
  const auto bracket = source.find(Needle::CloseBracket, p, f.end);
  if (!bracket) {
    emit_text(p, p + 1);
    f.pos = p + 1;
    return true;
  }
  const std::string_view inner = text().substr(p + 1, *bracket - p - 1);
  const std::size_t space = find_white_space(inner, 0);
  const std::string_view url = inner.substr(0, space);
  std::string_view label;
  if (space < inner.size()) label = inner.substr(space + utf8::decode(inner, space).len);
  if (space == inner.size() || label == url) {
    f.pos = *bracket + 1;
    emit(Inline::Autolink{std::string(url), std::string(url), url.starts_with("mailto:")});
    return true;
  }
  const std::size_t label_begin = static_cast<std::size_t>(label.data() - text().data());
  const Range label_range = trim_range(source, Range{label_begin, label_begin + label.size()});
  open(Wrap::Link, label_range, *bracket + 1).text = link_target(url);
  return true;
}

bool Converter::quotes() {
  Frame& f = top();
  Source& source = *f.source;
  struct Run { std::string_view marks; Needle needle; Wrap wrap; };
  static constexpr std::array<Run, 3> kRuns = {Run{"'''''", Needle::Quote5, Wrap::StrongEmph},
                                               Run{"'''", Needle::Quote3, Wrap::Strong},
                                               Run{"''", Needle::Quote2, Wrap::Emph}};
  for (const Run& run : kRuns) {
    if (!source.starts_with(f.pos, f.end, run.marks)) continue;
    const std::size_t inside = f.pos + run.marks.size();
    if (const auto close = source.find(run.needle, inside, f.end)) {
      open(run.wrap, Range{inside, *close}, *close + run.marks.size());
    } else {
      emit_text(f.pos, f.pos + 1);
      ++f.pos;
    }
    return true;
  }
  return false;
}

bool Converter::behavior_switch() {
  Frame& f = top();
  const std::string_view t = text();
  if (!f.source->starts_with(f.pos, f.end, "__")) return false;
  // The closing "__" is the first one after the opening; only capitals and "_" may come between.
  std::size_t pos = f.pos + 2;
  while (pos + 1 < f.end && is_behavior_byte(t[pos])) {
    if (t[pos] == '_' && t[pos + 1] == '_') {
      Attr attr;
      attr.set_pair("data-mediawiki-behavior", std::string(t.substr(f.pos + 2, pos - f.pos - 2)));
      f.pos = pos + 2;
      emit(Inline::Span{std::move(attr), {}});
      return true;
    }
    ++pos;
  }
  return false;
}

void Converter::html_tag() {
  Frame& f = top();
  Source& source = *f.source;
  const std::size_t p = f.pos;
  // Only a name, "/", "!" or "?" after "<" makes markup of it; "x < y" is text.
  const char next = p + 1 < f.end ? text()[p + 1] : ' ';
  if (!scan::is_ascii_alpha(next) && next != '/' && next != '!' && next != '?') {
    emit_text(p, p + 1);
    f.pos = p + 1;
    return;
  }
  if (auto tag = html_open(source, p, f.end)) {
    if (tag->name == "br") {
      f.pos = tag->end;
      emit(Inline::HardBreak{});
      return;
    }
    for (std::size_t kind = 0; kind < kNestTagNames.size() && !tag->closed; ++kind) {
      if (tag->name != kNestTagNames[kind]) continue;
      if (kind >= 2 && given_up_tags_.contains({&source, p})) break;
      const auto closer = source.tag_closer(static_cast<NestTag>(kind), tag->end, f.end);
      if (!closer) break;
      const bool is_script = kind >= 2;
      Frame& child =
          open(is_script ? Wrap::Script : Wrap::Span, Range{tag->end, closer->begin}, closer->end);
      child.attr = std::move(tag->attr);
      if (kind == 1) child.attr.push_class("small");
      child.is_subscript = kind == 3;
      child.notes_mark = notes_.mark();
      child.opening_tag = Range{p, tag->end};
      return;
    }
  }
  if (const auto gt = source.find(Needle::Gt, p, f.end)) {
    f.pos = *gt + 1;
    emit(Inline::RawInline{"html", std::string(text().substr(p, *gt + 1 - p))});
    return;
  }
  emit_text(p, p + 1);
  f.pos = p + 1;
}

void Converter::plain_text() {
  Frame& f = top();
  const std::string_view t = text();
  std::size_t end = f.pos + 1;
  while (end < f.end && !kTextStops[static_cast<unsigned char>(t[end])]) ++end;
  emit_text(f.pos, end);
  f.pos = end;
}

void Converter::finish_script(Frame& done) {
  auto plain = inline_text(done.out);
  if (!plain) {  // given up before it got here; kept as the rule that decides
    is_script_doomed_ = true;
    return;
  }
  script_frame_ = kNoFrame;
  Inline node = done.is_subscript ? Inline{Inline::Subscript{std::move(done.attr), std::move(*plain)}}
                                  : Inline{Inline::Superscript{std::move(done.attr), std::move(*plain)}};
  stack_.pop_back();
  emit(std::move(node));
}

void Converter::finish() {
  Frame& done = top();
  Inlines children = std::move(done.out);
  Inline node;
  switch (done.wrap) {
    case Wrap::Emph: node = Inline::Emph{{}, std::move(children)}; break;
    case Wrap::Strong: node = Inline::Strong{{}, std::move(children)}; break;
    case Wrap::StrongEmph: {
      Inlines emph;
      emph.push_back(Inline::Emph{{}, std::move(children)});
      node = Inline::Strong{{}, std::move(emph)};
      break;
    }
    case Wrap::Link: {
      Inline link = Inline::Link{std::move(done.text), std::nullopt, {}, std::move(children)};
      Inlines after_link = std::move(done.after_link);
      stack_.pop_back();
      emit(std::move(link));
      for (Inline& lifted : after_link) emit(std::move(lifted));
      return;
    }
    case Wrap::InnerLink: stack_.pop_back(); return;
    case Wrap::Image:
      node = Inline::Image{std::move(done.text), std::nullopt, std::move(done.attr),
                           std::move(children)};
      break;
    case Wrap::Span: node = Inline::Span{std::move(done.attr), std::move(children)}; break;
    case Wrap::Script:
      done.out = std::move(children);
      finish_script(done);
      return;
    case Wrap::Note: node = Inline::Note{std::move(children)}; break;
    case Wrap::NamedRef:
      // The first definition of a label wins; a later body is dropped. A blank body defines
      // nothing: it reuses the label, as "<ref name=n/>" does.
      if (!notes_.has(done.text) && !is_blank(children)) {
        Blocks body;
        body.push_back(Block::Paragraph{{}, std::move(children)});
        notes_.add(Footnote{done.text, std::move(body)});
      }
      node = Inline::FootnoteRef{std::move(done.text)};
      break;
    case Wrap::Arg: {
      OperationArg arg{std::move(children), std::move(done.arg_name)};
      stack_.pop_back();
      top().operation.args.push_back(std::move(arg));
      return;
    }
    case Wrap::Root:
    case Wrap::Operation: break;  // handled by run()
  }
  stack_.pop_back();
  emit(std::move(node));
}

}  // namespace

Inlines inlines(Source& source, Range range, Notes& notes) {
  return Converter(notes).run(source, range);
}

Inlines inlines(std::string_view text, Notes& notes) {
  Source source(text);
  return inlines(source, Range{0, text.size()}, notes);
}

}  // namespace document
}  // namespace vedavi::wikitext
