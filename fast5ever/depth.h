// The nesting cap: a token filter between the tokenizer and the tree builder that keeps at most
// 512 counted elements open.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "html5/token.h"

namespace fast5ever::depth {

inline constexpr std::size_t kMaxOpen = 512;

// Counts the elements that start and end tags open and close. While 512 are counted, a start tag
// that would open another is swallowed, and so is its matching end tag later, so that its content
// lands in the innermost element the tree builder still has open. Void tags, a repeat of the
// innermost implied-sibling tag (`p` after `p`) and self-closing tags in foreign content open
// nothing and always pass. The count follows tags only: elements the tree builder opens on its
// own (reconstructed formatting elements among them) are not counted, so trees can still be
// deeper than the cap.
class DepthCap final : public html5::TokenSink {
 public:
  explicit DepthCap(html5::TokenSink& inner) : inner_(inner) {}

  html5::TokenSinkResult process_token(html5::Token& token, std::uint64_t line) override;
  void end() override { inner_.end(); }
  bool adjusted_current_node_present_but_not_in_html_namespace() const override {
    return inner_.adjusted_current_node_present_but_not_in_html_namespace();
  }

  const std::vector<std::string>& open() const { return open_; }
  const std::vector<std::string>& dropped() const { return dropped_; }

 private:
  bool admit_start(const html5::Tag& tag);  // false: swallow
  bool admit_end(const html5::Tag& tag);

  html5::TokenSink& inner_;
  std::vector<std::string> open_;     // counted open elements, innermost last; at most 512
  std::vector<std::string> dropped_;  // swallowed start tags awaiting their end tag, innermost last
};

}  // namespace fast5ever::depth
