// Code blocks: the language hook, highlighting by mode, the wrapping hook, and hook failures.
#include <gtest/gtest.h>

#include "export_util.h"
#include "highlight/highlight.h"

namespace vedavi::exporter::test {
namespace {

constexpr std::string_view kPy = "<pre><code class=\"language-py numberLines\">a&lt;b</code></pre>";

// Hooks that log their calls ("hook: arguments") and answer from fixed strings: "" answers none,
// "\x01" fails, "-" leaves the hook out.
struct Hooks {
  std::vector<std::string> calls;
  std::string lang = "-", highlight = "-", wrap = "-";

  static HookResult answer(const std::string& text) {
    if (text == "\x01") return Failure{"hook failed"};
    return text.empty() ? HookResult(std::nullopt) : std::optional<std::string>(text);
  }
  HtmlExportOptions options(HlMode hl) {
    HtmlExportOptions o;
    o.hl = hl;
    if (lang != "-") {
      o.hl_lang = [this](std::string_view code, std::optional<std::string_view> l) {
        calls.push_back("lang: " + std::string(code) + "|" + std::string(l.value_or("<none>")));
        return answer(lang);
      };
    }
    if (highlight != "-") {
      o.hl_fn = [this](std::string_view code, std::string_view l, HlMode mode) {
        calls.push_back("hl: " + std::string(code) + "|" + std::string(l) + "|" + std::to_string(int(mode)));
        return answer(highlight);
      };
    }
    if (wrap != "-") {
      o.code_wrap = [this](std::string_view html, std::optional<std::string_view> l, std::string_view code) {
        calls.push_back("wrap: " + std::string(html) + "|" + std::string(l.value_or("<none>")) + "|" + std::string(code));
        return answer(wrap);
      };
    }
    return o;
  }
};

TEST(Code, WithoutHooks) {
  const std::string src = std::string(kPy) + "<pre><code class=\"language-md\">#</code></pre>";
  EXPECT_EQ(run(src).html, src);  // highlighting off leaves blocks alone
  HtmlExportOptions spans;
  spans.hl = HlMode::Spans;
  const Exported out = run(std::string(kPy) + std::string(kPy) + "<pre><code class=\"language-\">x</code></pre>", spans);
  EXPECT_EQ(out.warnings, std::vector<std::string>{std::string(kNoHighlighterWarning)});  // once
  // md blocks take the dialect highlighter.
  for (const HlMode mode : {HlMode::Spans, HlMode::Toks}) {
    HtmlExportOptions options;
    options.hl = mode;
    const Exported md = run("<pre><code class=\"language-markdown\"># a &lt;b&gt;</code></pre>", options);
    EXPECT_EQ(md.html, "<pre><code class=\"language-markdown\">" + highlight::highlight_md("# a <b>", "hl-") + "</code></pre>");
    EXPECT_TRUE(md.warnings.empty());
  }
}

TEST(Code, HooksInOrder) {
  struct Case {
    HlMode mode;
    std::string lang, highlight, wrap;
    std::string_view html;
    std::vector<std::string_view> calls;  // hook names in order
  };
  const Case cases[] = {
      {HlMode::Spans, "python", "<pre><code><b>a</b>&lt;b</code></pre>", "",
       "<pre><code class=\"language-python\"><b>a</b>&lt;b</code></pre>", {"lang", "hl", "wrap"}},
      {HlMode::Spans, "py", "<p>1</p><p>2</p>", "-",
       "<pre><code class=\"language-py numberLines\"><p>1</p><p>2</p></code></pre>", {"lang", "hl"}},
      {HlMode::Spans, "", "-", "<figure>f</figure>", "<figure>f</figure>", {"lang", "wrap"}},
      {HlMode::Toks, "-", "<pre toks=\"a b\"><code>z</code></pre>", "-",
       "<hl-code toks=\"a b\"><pre><code class=\"language-py numberLines\">a&lt;b</code></pre></hl-code>", {"hl"}},
      {HlMode::Toks, "-", "text only", "-",
       "<hl-code toks=\"\"><pre><code class=\"language-py numberLines\">a&lt;b</code></pre></hl-code>", {"hl"}},
      {HlMode::Toks, "-", "", "<i>w</i>", "<i>w</i>", {"hl", "wrap"}},
      {HlMode::Off, "-", "-", "", std::string_view(kPy), {"wrap"}},
      {HlMode::Spans, "\x01", "-", "-", "error: hook failed", {"lang"}},
      {HlMode::Spans, "-", "\x01", "-", "error: hook failed", {"hl"}},
      {HlMode::Spans, "-", "-", "\x01", "error: hook failed", {"wrap"}},
  };
  for (const Case& c : cases) {
    Hooks hooks{{}, c.lang, c.highlight, c.wrap};
    EXPECT_EQ(run(kPy, hooks.options(c.mode)).html, c.html) << c.lang << " " << c.highlight << " " << c.wrap;
    std::vector<std::string_view> names;
    for (const std::string& call : hooks.calls) names.push_back(std::string_view(call).substr(0, call.find(':')));
    EXPECT_EQ(names, c.calls) << c.html;
  }
}

TEST(Code, HookArguments) {
  Hooks hooks{{}, "python", "<pre toks=\"t\"></pre>", ""};
  run(std::string(kPy) + "<pre><code>plain</code></pre><pre>no code</pre>", hooks.options(HlMode::Toks));
  EXPECT_EQ(hooks.calls, (std::vector<std::string>{
      "lang: a<b|py", "hl: a<b|python|1",
      "wrap: <hl-code toks=\"t\"><pre><code class=\"language-python\">a&lt;b</code></pre></hl-code>|python|a<b",
      "lang: plain|<none>", "hl: plain|python|1",
      "wrap: <hl-code toks=\"t\"><pre><code class=\"language-python\">plain</code></pre></hl-code>|python|plain"}));
  Hooks failing{{}, "\x01", "\x01", "\x01"};  // a failure stops at the first block
  EXPECT_EQ(run(std::string(kPy) + std::string(kPy), failing.options(HlMode::Off)).html, "error: hook failed");
  EXPECT_EQ(failing.calls.size(), 1u);
}

}  // namespace
}  // namespace vedavi::exporter::test
