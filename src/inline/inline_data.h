// The facts of a ranged inline node, read again from its construct in the unit text.
#pragma once

#include <string_view>

#include "inline/alt_text.h"
#include "inline/angle.h"
#include "inline/attrs.h"
#include "inline/autolink.h"
#include "inline/code.h"
#include "inline/spans.h"
#include "model/template.h"

namespace vedavi::inl {

// Reads the data of the entries of one unit text. Entries are read in their sorted order; the
// reader keeps the per-text memories of the recognisers, so reading every entry stays linear.
class InlineDataReader {
 public:
  InlineDataReader(std::string_view text, const InlineContext& ctx)
      : text_(text), ctx_(ctx), alts_(text, ctx) {}

  // What the recogniser of the entry's kind finds at its position; None when it finds nothing
  // and for the kinds that carry no data.
  InlineData inline_data(const InlineEntry& entry);

 private:
  InlineData code(const InlineEvent& e);
  InlineData inline_link(const InlineEvent& e);
  InlineData reference_link(const InlineEvent& e);
  InlineData autolink(const InlineEvent& e);
  InlineData xref(const InlineEvent& e);
  InlineData footnote(const InlineEvent& e);
  InlineData attrs(const InlineEvent& e);
  InlineData template_token(const InlineEvent& e);
  InlineData math(const InlineEvent& e) const;
  InlineData raw(const InlineEvent& e);

  std::string_view text_;
  const InlineContext& ctx_;
  AltTexts alts_;
  BacktickRuns backticks_;
  AngleMemo angles_;
  AutolinkMemo autolinks_;
  BraceMemo braces_;
  templates::CloseCache template_closes_;
};

}  // namespace vedavi::inl
