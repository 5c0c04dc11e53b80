// Small services for the package's own exporters: reference tokens, target kinds, reference
// groups and raw payloads.
#include <optional>
#include <string_view>

#include "frame.h"
#include "resolve/raw_payload.h"
#include "resolve/resolve.h"
#include "token_sets.h"

namespace vedavi::py {
namespace {

constexpr Signature kRefTokens{"ref_tokens", "ref_tokens(val)\n--\n\n", {required("val")}};

Ref ref_tokens(const Call& call) {
  const auto args = match(kRefTokens, call);
  const auto value = args.get<std::optional<std::string_view>>(0);
  Outcome<RefTokens> tokens = vedavi::ref_tokens(value);
  if (!tokens) raise(PyExc_ValueError, tokens.message());
  return new_token_set(tokens.value());
}

constexpr Signature kRefVariant{"ref_variant", "ref_variant(tokens)\n--\n\n", {required("tokens")}};

Ref ref_variant(const Call& call) {
  const auto args = match(kRefVariant, call);
  const RefTokens tokens = ref_tokens_of(args.get<Set<std::string_view>>(0));
  return new_str(vedavi::ref_variant(tokens));
}

constexpr Signature kTargetKind{"target_kind", "target_kind(name)\n--\n\n", {required("name")}};

Ref target_kind(const Call& call) {
  const auto args = match(kTargetKind, call);
  const auto name = args.get<std::string_view>(0);
  const std::optional<std::string_view> kind = vedavi::target_kind(name);
  return kind ? new_str(*kind) : new_none();
}

constexpr Signature kGroupPlan{"group_plan", "group_plan(types)\n--\n\n", {required("types")}};

Ref group_plan(const Call& call) {
  const auto args = match(kGroupPlan, call);
  const auto types = args.get<List<std::string_view>>(0);
  return new_list(vedavi::group_plan(types.items), [](const GroupEntry& entry) {
    return new_tuple(new_str(entry.separator), new_bool(entry.show_prefix), new_bool(entry.plural));
  });
}

constexpr Signature kDecodeRaw{"decode_raw", "decode_raw(payload, encoding)\n--\n\n",
                               {required("payload"), required("encoding")}};

Ref decode_raw(const Call& call) {
  const auto args = match(kDecodeRaw, call);
  const auto payload = args.get<std::string_view>(0);
  const auto encoding = args.get<std::optional<std::string_view>>(1);
  const RawPayload raw = vedavi::decode_raw(payload, encoding);
  const auto str_or_none = [](const std::optional<std::string>& text) {
    return text ? new_str(*text) : new_none();
  };
  return new_tuple(str_or_none(raw.payload), str_or_none(raw.warning));
}

}  // namespace

PyMethodDef ref_tokens_method = method<ref_tokens>(kRefTokens);
PyMethodDef ref_variant_method = method<ref_variant>(kRefVariant);
PyMethodDef target_kind_method = method<target_kind>(kTargetKind);
PyMethodDef group_plan_method = method<group_plan>(kGroupPlan);
PyMethodDef decode_raw_method = method<decode_raw>(kDecodeRaw);

}  // namespace vedavi::py
