// The chunkers: md_chunks, md_chunks_greedy, md_chunks_structural and
// md_chunks_structural_batch, each a list of (text, kind) tuples.
#include <string>
#include <vector>

#include "chunk/chunk.h"
#include "frame.h"

namespace vedavi::py {
namespace {

constexpr const char* kActivity = "chunking Markdown";

constexpr Signature kMdChunks{"md_chunks", "md_chunks(markdown, target_words=700)\n--\n\n",
                              {required("markdown"), with_default("target_words")}};
constexpr Signature kMdChunksGreedy{
    "md_chunks_greedy", "md_chunks_greedy(markdown, target_words=700, length_scale=200)\n--\n\n",
    {required("markdown"), with_default("target_words"), with_default("length_scale")}};
constexpr Signature kMdChunksStructural{
    "md_chunks_structural", "md_chunks_structural(markdown, target_words=700)\n--\n\n",
    {required("markdown"), with_default("target_words")}};
constexpr Signature kMdChunksStructuralBatch{
    "md_chunks_structural_batch", "md_chunks_structural_batch(markdown, target_words=700)\n--\n\n",
    {required("markdown"), with_default("target_words")}};

using Chunks = chunk::ChunkList;

// (text, "body") or (text, "h2"). Each text is made from its breadcrumb and its stretch of the
// source as its str is made, so the texts are never all held in C++ beside their strs.
Ref chunk_list(const Chunks& chunks) {
  Ref list = check(PyList_New(Py_ssize_t(chunks.size())));
  WordStrs kinds;  // the few kinds, each one str shared by the chunks
  for (std::size_t i = 0; i < chunks.size(); ++i) {
    const std::string_view pieces[] = {chunks.prefix(i), chunks.body(i)};
    Ref text = pieces[0].empty() ? new_str(pieces[1]) : new_large_str(pieces);
    const chunk::Start start = chunks.start(i);
    Ref kind = kinds.get(start.is_body ? std::string("body") : "h" + std::to_string(start.level));
    PyList_SET_ITEM(list.get(), Py_ssize_t(i), new_tuple(std::move(text), std::move(kind)).release());
  }
  return list;
}

template <std::size_t N>
std::uint64_t target_words_of(const Args<N>& args) {
  const auto target_words = args.template get_or<std::uint64_t>(1, 700);
  if (target_words == 0) raise(PyExc_ValueError, "target_words must be positive");
  return target_words;
}

Ref md_chunks(const Call& call) {
  const auto args = match(kMdChunks, call);
  const auto markdown = args.get<std::string_view>(0);
  const std::uint64_t target_words = target_words_of(args);
  const Chunks chunks = released(
      [&] { return guarded(kActivity, [&] { return chunk::md_chunk_list(markdown, target_words); }); });
  return chunk_list(chunks);
}

Ref md_chunks_greedy(const Call& call) {
  const auto args = match(kMdChunksGreedy, call);
  const auto markdown = args.get<std::string_view>(0);
  const auto target_words = args.get_or<std::uint64_t>(1, 700);
  const auto length_scale = args.get_or<std::uint64_t>(2, 200);
  if (target_words == 0 || length_scale == 0)
    raise(PyExc_ValueError, "target_words and length_scale must be positive");
  const Chunks chunks = released([&] {
    return guarded(kActivity,
                   [&] { return chunk::md_chunk_list_greedy(markdown, target_words, length_scale); });
  });
  return chunk_list(chunks);
}

Ref md_chunks_structural(const Call& call) {
  const auto args = match(kMdChunksStructural, call);
  const auto markdown = args.get<std::string_view>(0);
  const std::uint64_t target_words = target_words_of(args);
  const Chunks chunks = released([&] {
    return guarded(kActivity, [&] { return chunk::md_chunk_list_structural(markdown, target_words); });
  });
  return chunk_list(chunks);
}

// The texts are converted (and held, item by item) before the lock is released once for all of
// them; one internal failure ends the call without a partial result.
Ref md_chunks_structural_batch(const Call& call) {
  const auto args = match(kMdChunksStructuralBatch, call);
  const auto texts = args.get<List<std::string_view>>(0);
  const std::uint64_t target_words = target_words_of(args);
  const std::vector<Chunks> results = released([&] {
    return guarded(kActivity, [&] {
      std::vector<Chunks> out;
      out.reserve(texts.items.size());
      for (std::string_view text : texts.items)
        out.push_back(chunk::md_chunk_list_structural(text, target_words));
      return out;
    });
  });
  return new_list(results, chunk_list);
}

}  // namespace

PyMethodDef md_chunks_method = method<md_chunks>(kMdChunks);
PyMethodDef md_chunks_greedy_method = method<md_chunks_greedy>(kMdChunksGreedy);
PyMethodDef md_chunks_structural_method = method<md_chunks_structural>(kMdChunksStructural);
PyMethodDef md_chunks_structural_batch_method =
    method<md_chunks_structural_batch>(kMdChunksStructuralBatch);

}  // namespace vedavi::py
