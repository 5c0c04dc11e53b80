// md2vedavi(markdown, ...): md source to VEDAVI HTML, with node callbacks, warnings and the
// frontmatter pairs.
#include <optional>
#include <string>
#include <vector>

#include "block/parse.h"
#include "callbacks.h"
#include "frame.h"
#include "md_options.h"
#include "output_room.h"
#include "render/renderer.h"

namespace vedavi::py {
namespace {

// From this size of input on, a call gives memory back as soon as it is done with it: what the
// parse freed before the HTML is written, the tree's pages and the input's UTF-8 before the
// output str is made. That lowers the peak by several times the input, and costs the next call
// the encoding and the faulting in of fresh pages; below this size, what the interpreter and the
// allocator keep serves the next call better than the few bytes saved.
constexpr std::size_t kLargeInput = std::size_t{4} << 20;
// From this size of input on (below the large size), a call keeps its output str's pages
// resident for the next (output_room.h); a smaller str comes from memory the allocator keeps.
constexpr std::size_t kRoomInput = std::size_t{64} << 10;

// The markdown argument's UTF-8. A small str, an ASCII one, or one that already carries its UTF-8
// form is read in place. A large one is encoded into a bytes object of our own, released as soon
// as the tree (whose texts may point into it) is freed: reading it in place would attach a copy
// as large as the input to the caller's str, for as long as that str lives, and keep it while the
// output str is made.
class TransientUtf8 {
 public:
  TransientUtf8(std::string_view text, Ref owner) : text_(text), owner_(std::move(owner)) {}
  std::string_view text() const { return text_; }
  void release() {
    text_ = {};
    owner_ = Ref();
  }

 private:
  std::string_view text_;
  Ref owner_;  // the bytes object that holds `text_`, when encoded for this call
};

// Whether to read the str in place. ASCII is its own UTF-8, and a copy made earlier is there
// already. (A str of the old non-compact layout is read in place too.)
bool reads_in_place(PyObject* str) {
  if (PyUnicode_IS_COMPACT_ASCII(str) || !PyUnicode_IS_COMPACT(str)) return true;
  if (std::size_t(PyUnicode_GET_LENGTH(str)) < kLargeInput) return true;
  return reinterpret_cast<PyCompactUnicodeObject*>(str)->utf8 != nullptr;
}

}  // namespace

template <>
struct FromPython<TransientUtf8> {
  static TransientUtf8 convert(Borrowed obj) {
    PyObject* str = obj.get();
    if (!PyUnicode_Check(str) || reads_in_place(str))
      return TransientUtf8(FromPython<std::string_view>::convert(obj), Ref());
    Ref bytes = large_str_utf8(obj);
    const std::string_view text(PyBytes_AS_STRING(bytes.get()),
                                std::size_t(PyBytes_GET_SIZE(bytes.get())));
    return TransientUtf8(text, std::move(bytes));
  }
};

namespace {

constexpr Signature kMd2Vedavi{
    "md2vedavi",
    "md2vedavi(markdown, *, math=\"brackets\", bare_autolinks=True, implicit_figures=False, "
    "frontmatter=True, templates=None, callbacks=None, max_block_depth=None, "
    "max_link_paren_depth=None)\n--\n\n",
    {required("markdown"), keyword_only("math"), keyword_only("bare_autolinks"),
     keyword_only("implicit_figures"), keyword_only("frontmatter"), keyword_only("templates"),
     keyword_only("callbacks"), keyword_only("max_block_depth"),
     keyword_only("max_link_paren_depth")}};

// The HTML is written in pieces of about this size and copied into the str from them: it is
// never held in one buffer that doubles as it grows. Pieces this small fit the holes a large
// parse leaves in the heap (its freed work lists), so a large call writes much of its HTML into
// pages it holds already rather than beside them: 10 MB of prose peaks at 3.84x the input with
// 128 KB pieces, 4.03x with 256 KB ones.
constexpr std::size_t kHtmlPieceSize = std::size_t{128} << 10;

// return_freed_memory (convert.h) runs before the HTML is written: what the parse freed (its line
// table, its drafts) would otherwise stay resident beside the tree and the HTML, which the
// allocator places only partly in it. And before the output str is made: the str is a fresh
// mapping of its own, so the freed tree's heap would stay resident beside it.

// The HTML pieces of the calls on this thread, kept between calls with their room, so that a call
// made after other work in the process writes its HTML into pages it holds already rather than
// into fresh ones the allocator has to fault in. Beyond this much room they are let go.
constexpr std::size_t kWarmHtmlRoom = std::size_t{4} << 20;
thread_local std::vector<std::string> t_html_pieces;

// Takes the thread's pieces for one call and gives them back when it ends, trimmed to
// kWarmHtmlRoom. A call nested in another on the thread (from a callback) finds none and makes its
// own, so the two never share a piece.
class WarmPieces {
 public:
  WarmPieces() : pieces_(std::move(t_html_pieces)) { t_html_pieces.clear(); }
  // Piece `i` is in the output str now, the pieces before it too: one beyond the room kept warm
  // goes at once, so that the HTML is never held twice over.
  void written(std::size_t i) {
    if (written_room_ + pieces_[i].capacity() <= kWarmHtmlRoom) written_room_ += pieces_[i].capacity();
    else free_piece(pieces_[i]);
  }
  ~WarmPieces() {
    std::size_t room = 0, kept = 0;
    while (kept < pieces_.size() && room + pieces_[kept].capacity() <= kWarmHtmlRoom)
      room += pieces_[kept++].capacity();
    pieces_.resize(kept);
    if (pieces_.size() > t_html_pieces.size()) t_html_pieces = std::move(pieces_);
  }
  WarmPieces(const WarmPieces&) = delete;
  WarmPieces& operator=(const WarmPieces&) = delete;
  std::vector<std::string>& get() { return pieces_; }

 private:
  std::vector<std::string> pieces_;
  std::size_t written_room_ = 0;  // of the pieces kept so far by `written`
};

// Writes a document's HTML into pieces as its top-level blocks come from a streamed parse, as
// render_document_pieces does for a whole tree: a piece is full once a block ends past
// kHtmlPieceSize.
class HtmlPieceSink : public BlockSink {
 public:
  explicit HtmlPieceSink(std::vector<std::string>& pieces) : pieces_(pieces) {}
  void start(const Document& doc) override {
    renderer_.emplace(doc);
    piece_ = &next_piece();
  }
  bool block(const Block& block) override {
    const std::size_t notes = renderer_->notes_written();
    renderer_->block(block, *piece_);
    if (piece_->size() >= kHtmlPieceSize) {
      ++used_;
      piece_ = &next_piece();
    }
    // The footnote section reads an inline note's content again.
    return renderer_->notes_written() != notes;
  }
  void keep(ArenaHandle blocks) override { kept_ = std::move(blocks); }
  // Writes the footnote section; returns the number of pieces written.
  std::size_t finish() {
    renderer_->footnotes(*piece_);
    if (!piece_->empty()) ++used_;
    for (std::size_t i = used_; i < pieces_.size(); ++i) pieces_[i].clear();
    return used_;
  }

 private:
  // The next piece to write: one held already, emptied with its room kept, or a new one.
  std::string& next_piece() {
    if (used_ == pieces_.size()) pieces_.emplace_back();
    std::string& piece = pieces_[used_];
    piece.clear();
    piece.reserve(kHtmlPieceSize + kHtmlPieceSize / 4);
    return piece;
  }

  std::vector<std::string>& pieces_;
  ArenaHandle kept_;  // declared before the renderer, which refers into it, so it goes after
  std::optional<Renderer> renderer_;
  std::string* piece_ = nullptr;
  std::size_t used_ = 0;
};

// The bytes a str's characters take.
std::size_t str_bytes(PyObject* str) {
  return std::size_t(PyUnicode_GET_LENGTH(str)) * std::size_t(PyUnicode_KIND(str));
}

Ref warning_list(const std::vector<Diagnostic>& diagnostics) {
  return new_list(diagnostics, [](const Diagnostic& diagnostic) {
    if (!diagnostic.start) return new_str(diagnostic.message);
    return new_str("line " + std::to_string(diagnostic.start->line) + ": " + diagnostic.message);
  });
}

Ref md2vedavi(const Call& call) {
  const auto args = match(kMd2Vedavi, call);
  auto markdown = args.get<TransientUtf8>(0);
  const auto math = args.get_or<std::string_view>(1, "brackets");
  const auto bare_autolinks = args.get_or<bool>(2, true);
  const auto implicit_figures = args.get_or<bool>(3, false);
  const auto frontmatter = args.get_or<bool>(4, true);
  const auto templates = args.get_or<TemplatesArg>(5, std::nullopt);
  const auto callbacks = args.get_or<std::optional<Dict>>(6, std::nullopt);
  const auto max_block_depth = args.get_or<std::optional<std::size_t>>(7, std::nullopt);
  const auto max_link_paren_depth = args.get_or<std::optional<std::size_t>>(8, std::nullopt);

  const Options options =
      make_options(math, templates,
                   md2vedavi_flags(bare_autolinks, implicit_figures, frontmatter, max_block_depth,
                                   max_link_paren_depth));

  const bool large = markdown.text().size() >= kLargeInput;
  // Taken first, before the call's other allocations could land in it.
  std::optional<OutputRoom> room;
  if (!large && markdown.text().size() >= kRoomInput) room.emplace(markdown.text().size());
  WarmPieces pieces;
  // The input's UTF-8 outlives the tree: the tree may keep its texts where they stand in it.
  // Without callbacks, which read the whole tree, a large document's top-level blocks are
  // written as they are finished: the tree never stands whole beside the HTML.
  std::optional<HtmlPieceSink> sink;
  if (large && !callbacks) sink.emplace(pieces.get());
  Document doc = released([&] {
    return guarded("parsing markdown", [&] {
      return sink ? parse_kept_source_streamed(markdown.text(), options, *sink)
                  : parse_kept_source(markdown.text(), options);
    });
  });
  if (callbacks) run_callbacks(doc, callbacks->obj);
  Ref warnings = warning_list(doc.diagnostics);
  Ref pairs = new_list(doc.meta, [](const auto& pair) {
    Ref key = new_str(pair.first);
    Ref value = new_str(pair.second);
    return new_tuple(std::move(key), std::move(value));
  });
  const std::size_t used = released([&] {
    if (large && !sink) return_freed_memory();
    const std::size_t count = guarded("rendering markdown", [&] {
      return sink ? sink->finish() : render_document_pieces(doc, kHtmlPieceSize, pieces.get());
    });
    doc = Document{};  // a large tree is freed without holding the lock
    return count;
  });
  markdown.release();
  if (large) released(return_freed_memory);
  const std::vector<std::string_view> views(pieces.get().begin(), pieces.get().begin() + std::ptrdiff_t(used));
  if (room) room->release();
  Ref html = new_large_str(views, [&](std::size_t i) { pieces.written(i); });
  if (room) room->made(html.get(), str_bytes(html.get()));
  return new_tuple(std::move(html), std::move(warnings), std::move(pairs));
}

}  // namespace

PyMethodDef md2vedavi_method = method<md2vedavi>(kMd2Vedavi);

}  // namespace vedavi::py
