// export_html(src, ...): VEDAVI HTML to finished HTML, with the caller's code hooks.
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "export/export.h"
#include "frame.h"
#include "levels_arg.h"
#include "reftypes_arg.h"

namespace vedavi::py {
namespace {

constexpr Signature kExportHtml{
    "export_html",
    "export_html(src, reftypes, number_headings, hl, toc, refs, id_prefix, fn_salt, hl_lang, "
    "code_wrap, hl_fn, auto_ids, gh_ids)\n--\n\n",
    {required("src"), required("reftypes"), required("number_headings"), required("hl"),
     required("toc"), required("refs"), required("id_prefix"), required("fn_salt"),
     required("hl_lang"), required("code_wrap"), required("hl_fn"), required("auto_ids"),
     required("gh_ids")}};

using exporter::HookResult;

// None, False, a scheme name or a dict of levels; anything else (True included) is refused.
std::optional<exporter::NumberHeadings> number_headings_of(Borrowed value) {
  if (value.get() == Py_None) return std::nullopt;
  try {
    if (!FromPython<bool>::convert(value)) return exporter::NeverNumber{};
  } catch (const ErrorAlreadySet&) {
    PyErr_Clear();  // not a bool: try the other forms
  }
  if (PyUnicode_Check(value.get())) {
    return exporter::SchemeName{std::string(FromPython<std::string_view>::convert(value))};
  }
  if (PyDict_Check(value.get())) return exporter::SchemeLevels{levels_of(value)};
  raise_not_instance(value.get(), "dict");
}

// The exception of the hook call that failed, kept until the export has returned.
class HookErrorSlot {
 public:
  void store(Ref exception) {
    const std::lock_guard lock(mutex_);
    exception_ = std::move(exception);
  }
  Ref take() {
    const std::lock_guard lock(mutex_);
    return std::move(exception_);
  }

 private:
  std::mutex mutex_;
  Ref exception_;
};

// The message the exporter ends with after a hook failed; the caller sees the hook's exception.
constexpr std::string_view kHookRaised = "python hook raised";

std::optional<std::string> hook_text(Borrowed result) {
  if (result.get() == Py_None) return std::nullopt;
  if (!PyUnicode_Check(result.get())) raise_not_instance(result.get(), "str");
  return std::string(FromPython<std::string_view>::convert(result));
}

Ref str_or_none(std::optional<std::string_view> text) { return text ? new_str(*text) : new_none(); }

// Calls `hook` with the arguments `make_args` builds, with the interpreter lock held (the
// export runs with it whenever a hook is given). A raised exception, or a result that is neither
// None nor a str, goes into the slot and ends the export.
template <class MakeArgs>
HookResult call_hook(Borrowed hook, HookErrorSlot& slot, MakeArgs&& make_args) {
  try {
    const auto args = make_args();
    PyObject* argv[std::tuple_size_v<std::decay_t<decltype(args)>>];
    std::size_t n = 0;
    std::apply([&](const auto&... arg) { ((argv[n++] = arg.get()), ...); }, args);
    Ref result = check(PyObject_Vectorcall(hook.get(), argv, n, nullptr));
    return hook_text(Borrowed(result.get()));
  } catch (const ErrorAlreadySet&) {
    slot.store(fetch_exception());
    return Failure{std::string(kHookRaised)};
  }
}

void set_hooks(exporter::HtmlExportOptions& options, Borrowed hl_lang, Borrowed code_wrap,
               Borrowed hl_fn, HookErrorSlot& slot) {
  if (hl_lang.get() != Py_None) {
    options.hl_lang = [hl_lang, &slot](std::string_view code, std::optional<std::string_view> lang) {
      return call_hook(hl_lang, slot, [&] { return std::tuple(new_str(code), str_or_none(lang)); });
    };
  }
  if (code_wrap.get() != Py_None) {
    options.code_wrap = [code_wrap, &slot](std::string_view html, std::optional<std::string_view> lang,
                                           std::string_view code) {
      return call_hook(code_wrap, slot, [&] {
        return std::tuple(new_str(html), str_or_none(lang), new_str(code));
      });
    };
  }
  if (hl_fn.get() != Py_None) {
    // The mode is the exporter's business; Python hooks get the code and the language.
    options.hl_fn = [hl_fn, &slot](std::string_view code, std::string_view lang, exporter::HlMode) {
      return call_hook(hl_fn, slot, [&] { return std::tuple(new_str(code), new_str(lang)); });
    };
  }
}

exporter::HlMode hl_mode(std::optional<std::string_view> hl) {
  if (!hl) return exporter::HlMode::Off;
  return *hl == "spans" ? exporter::HlMode::Spans : exporter::HlMode::Toks;
}

exporter::RefsMode refs_mode(std::string_view refs) {
  if (refs == "ids") return exporter::RefsMode::Ids;
  if (refs == "lenient") return exporter::RefsMode::Lenient;
  return exporter::RefsMode::Strict;
}

Ref export_html(const Call& call) {
  const auto args = match(kExportHtml, call);
  const auto src = args.get<std::string_view>(0);
  auto reftypes = args.get<std::optional<RefTypesArg>>(1);
  const auto hl = args.get<std::optional<std::string_view>>(3);
  const auto toc = args.get<bool>(4);
  const auto refs = args.get<std::string_view>(5);
  const auto id_prefix = args.get<std::string_view>(6);
  const auto fn_salt = args.get<std::string_view>(7);
  const auto auto_ids = args.get<bool>(11);
  const auto gh_ids = args.get<bool>(12);
  const Borrowed hl_lang = args.given(8);
  const Borrowed code_wrap = args.given(9);
  const Borrowed hl_fn = args.given(10);

  exporter::HtmlExportOptions options;
  options.number_headings = number_headings_of(args.given(2));
  HookErrorSlot slot;
  set_hooks(options, hl_lang, code_wrap, hl_fn, slot);
  if (reftypes) options.reftypes = std::move(reftypes->reftypes);
  options.hl = hl_mode(hl);
  options.toc = toc;
  options.refs = refs_mode(refs);
  options.id_prefix = id_prefix;
  options.fn_salt = fn_salt;
  options.auto_ids = auto_ids;
  options.gh_ids = gh_ids;

  const bool has_hooks = options.hl_lang || options.code_wrap || options.hl_fn;
  Outcome<exporter::ExportOutput> result =
      has_hooks ? exporter::export_html(src, options)
                : released([&] { return exporter::export_html(src, options); });
  if (Ref exception = slot.take()) {
    restore_exception(std::move(exception));
    throw_error_already_set();
  }
  if (!result) raise(PyExc_ValueError, result.message());
  const exporter::ExportOutput& output = result.value();
  Ref warnings = new_list(output.warnings, [](const std::string& warning) { return new_str(warning); });
  return new_tuple(new_str(output.html), std::move(warnings));
}

}  // namespace

PyMethodDef export_html_method = method<export_html>(kExportHtml);

}  // namespace vedavi::py
