// Code blocks: the language hook, highlighting by mode, the wrapping hook, and hook failures.
#include <gtest/gtest.h>

#include "highlight/highlight.h"
#include "export_util.h"

namespace vedavi::exporter::test {
namespace {

HookResult some(std::string text) { return std::optional<std::string>(std::move(text)); }

constexpr std::string_view kPy = "<pre><code class=\"language-py numberLines\">a&lt;b</code></pre>";

struct Call {
  std::string hook;
  std::string args;
};

// Hooks that log their calls and answer from fixed strings ("" answers none).
struct Hooks {
  std::vector<Call> calls;
  std::string lang_answer = "\x01", highlight_answer = "\x01", wrap_answer = "\x01";

  static HookResult answer(const std::string& text) {
    if (text == "\x01") return Failure{"hook failed"};
    return text.empty() ? HookResult(std::nullopt) : some(text);
  }
  HtmlExportOptions options(HlMode hl) {
    HtmlExportOptions o;
    o.hl = hl;
    if (lang_answer != "-") {
      o.hl_lang = [this](std::string_view code, std::optional<std::string_view> lang) {
        calls.push_back({"lang", std::string(code) + "|" + std::string(lang.value_or("<none>"))});
        return answer(lang_answer);
      };
    }
    if (highlight_answer != "-") {
      o.hl_fn = [this](std::string_view code, std::string_view lang, HlMode mode) {
        calls.push_back({"hl", std::string(code) + "|" + std::string(lang) + "|" + std::to_string(int(mode))});
        return answer(highlight_answer);
      };
    }
    if (wrap_answer != "-") {
      o.code_wrap = [this](std::string_view html, std::optional<std::string_view> lang, std::string_view code) {
        calls.push_back({"wrap", std::string(html) + "|" + std::string(lang.value_or("<none>")) + "|" + std::string(code)});
        return answer(wrap_answer);
      };
    }
    return o;
  }
};

TEST(Code, OffLeavesBlocksAlone) {
  const std::string src = std::string(kPy) + "<pre><code class=\"language-md\">#</code></pre>";
  EXPECT_EQ(run(src).html, src);
}

TEST(Code, MissingHighlighterWarnsOnce) {
  HtmlExportOptions options;
  options.hl = HlMode::Spans;
  const Exported out = run(std::string(kPy) + std::string(kPy) + "<pre><code class=\"language-\">x</code></pre>", options);
  EXPECT_EQ(out.warnings, std::vector<std::string>{std::string(kNoHighlighterWarning)});
}

TEST(Code, DialectBlocksUseTheDialectHighlighter) {
  for (const HlMode mode : {HlMode::Spans, HlMode::Toks}) {
    HtmlExportOptions options;
    options.hl = mode;
    const Exported out = run("<pre><code class=\"language-markdown\"># a &lt;b&gt;</code></pre>", options);
    EXPECT_EQ(out.html, "<pre><code class=\"language-markdown\">" +
                            highlight::highlight_md("# a <b>", "hl-") + "</code></pre>");
    EXPECT_TRUE(out.warnings.empty());
  }
}

TEST(Code, HooksInOrder) {
  struct Case {
    HlMode mode;
    std::string lang, highlight, wrap;  // answers; "-" for no hook
    std::string_view html;
    std::vector<std::string> calls;  // hook names in order
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
    Hooks hooks;
    hooks.lang_answer = c.lang;
    hooks.highlight_answer = c.highlight;
    hooks.wrap_answer = c.wrap;
    const HtmlExportOptions options = hooks.options(c.mode);
    EXPECT_EQ(run(kPy, options).html, c.html) << c.lang << " " << c.highlight << " " << c.wrap;
    std::vector<std::string> names;
    for (const Call& call : hooks.calls) names.push_back(call.hook);
    EXPECT_EQ(names, c.calls) << c.html;
  }
}

TEST(Code, HookArguments) {
  Hooks hooks;
  hooks.lang_answer = "python";
  hooks.highlight_answer = "<pre toks=\"t\"></pre>";
  hooks.wrap_answer = "";
  const HtmlExportOptions options = hooks.options(HlMode::Toks);
  run(std::string(kPy) + "<pre><code>plain</code></pre><pre>no code</pre>", options);
  ASSERT_EQ(hooks.calls.size(), 6u);
  EXPECT_EQ(hooks.calls[0].args, "a<b|py");
  EXPECT_EQ(hooks.calls[1].args, "a<b|python|1");
  EXPECT_EQ(hooks.calls[2].args,
            "<hl-code toks=\"t\"><pre><code class=\"language-python\">a&lt;b</code></pre></hl-code>|python|a<b");
  EXPECT_EQ(hooks.calls[3].args, "plain|<none>");
  EXPECT_EQ(hooks.calls[4].args, "plain|python|1");
  EXPECT_EQ(hooks.calls[5].args,
            "<hl-code toks=\"t\"><pre><code class=\"language-python\">plain</code></pre></hl-code>|python|plain");
}

TEST(Code, HookFailureStopsAtTheFirstBlock) {
  Hooks hooks;
  hooks.lang_answer = "\x01";
  const HtmlExportOptions options = hooks.options(HlMode::Off);
  EXPECT_EQ(run(std::string(kPy) + std::string(kPy), options).html, "error: hook failed");
  EXPECT_EQ(hooks.calls.size(), 1u);
}

}  // namespace
}  // namespace vedavi::exporter::test
