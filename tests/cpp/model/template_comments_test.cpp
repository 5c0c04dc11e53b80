// Template tokens in raw HTML after a comment: the comment ends where an HTML5 tokenizer ends it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/template.h"

namespace vedavi {
namespace {

TEST(TemplateHtmlComments, TokensAfterAnEndedCommentCount) {
  TemplateDelimiter mustache;
  mustache.syntax = "s";
  mustache.open = "{{";
  mustache.close = "}}";
  const std::vector<TemplateDelimiter> ds = {mustache};
  struct Case {
    std::string html;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {"<!-->{{a}}", {"a"}},
      {"<!-- {{c}} --!>{{d}}", {"d"}},
      {"<!--!>{{c}}", {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> got;
    for (const auto& t : templates::html_tokens(c.html, ds)) got.push_back(t.name);
    EXPECT_EQ(got, c.names) << c.html;
  }
}

}  // namespace
}  // namespace vedavi
