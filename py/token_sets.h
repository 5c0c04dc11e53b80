// Reference-token sets between Python and the core.
#pragma once

#include "frame.h"
#include "resolve/resolve.h"

namespace vedavi::py {

// A token set as Python gives it; only the five reference tokens mean anything in it.
inline RefTokens ref_tokens_of(const Set<std::string_view>& tokens) {
  RefTokens set;
  for (const std::string_view word : tokens.items) {
    if (const auto token = ref_token_named(word)) set.insert(*token);
  }
  return set;
}

inline Ref new_token_set(RefTokens tokens) {
  Ref set = check(PySet_New(nullptr));
  for (const RefToken token : kAllRefTokens) {
    if (!tokens.contains(token)) continue;
    Ref name = new_str(ref_token_name(token));
    if (PySet_Add(set.get(), name.get()) < 0) throw_error_already_set();
  }
  return set;
}

}  // namespace vedavi::py
