// Attribute sets built in bulk (merges and bodies past the size where they switch to sorting)
// against the same classes and pairs added one at a time by the plain rules written out here.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "model/attrs.h"

namespace vedavi {
namespace {

void plain_push_class(Attr& attr, const std::string& name) {
  if (!name.empty() && std::find(attr.classes().begin(), attr.classes().end(), name) == attr.classes().end())
    attr.classes_mut().push_back(name);
}

void plain_set_pair(Attr& attr, const std::string& key, const std::string& value) {
  if (key == "id") {
    attr.set_id(value);
  } else if (key == "class") {
    for (std::size_t begin = 0, end; begin < value.size(); begin = end + 1) {
      end = std::min(value.find(' ', begin), value.size());
      plain_push_class(attr, value.substr(begin, end - begin));
    }
  } else {
    StringPairs& pairs = attr.pairs_mut();
    auto it = std::find_if(pairs.begin(), pairs.end(), [&](const auto& p) { return p.first == key; });
    if (it != pairs.end()) it->second = value;
    else pairs.emplace_back(key, value);
  }
}

struct RandomAttrs {
  std::mt19937 random;
  std::size_t below(std::size_t n) { return random() % n; }
  std::string class_name() { return "c" + std::to_string(below(50)); }
  std::string key() {
    const std::size_t pick = below(24);
    return pick == 0 ? "id" : pick == 1 ? "class" : "k" + std::to_string(pick % 15);
  }
  std::string value() { return below(4) == 0 ? "" : "v" + std::to_string(below(100)); }
  std::string pair_value() { return below(2) ? class_name() + " " + class_name() : value(); }
  // Up to `size` classes and pairs, some added raw (a key twice) as a caller filling fields may.
  Attr make(std::size_t size) {
    Attr attr;
    if (below(2)) attr.set_id(value());
    for (std::size_t i = below(size + 1); i > 0; --i) {
      if (below(2)) plain_push_class(attr, class_name());
      else if (below(4) == 0) attr.pairs_mut().emplace_back("k" + std::to_string(below(15)), value());
      else plain_set_pair(attr, key(), pair_value());
    }
    return attr;
  }
};

TEST(AttrBulk, MergeAndClassPairEqualOneAtATime) {
  RandomAttrs random{std::mt19937(20261206)};
  for (int round = 0; round < 3000; ++round) {
    const std::size_t size = round % 3 == 0 ? 10 : 80;  // both sides of the bulk threshold
    Attr receiver = random.make(size);
    const Attr other = random.make(size);
    Attr expected = receiver;
    if (other.id()) expected.set_id(other.id());
    for (const auto& name : other.classes()) plain_push_class(expected, name);
    for (const auto& [key, value] : other.pairs()) plain_set_pair(expected, key, value);
    receiver.merge(other);
    ASSERT_EQ(receiver, expected) << "round " << round;
    std::string words;
    for (std::size_t i = random.below(70); i > 0; --i) words += random.class_name() + "  ";
    plain_set_pair(expected, "class", words);
    receiver.set_pair("class", words);
    ASSERT_EQ(receiver, expected) << "round " << round;
  }
}

}  // namespace
}  // namespace vedavi
