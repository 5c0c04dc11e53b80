// Attribute sets built in bulk (merges and attribute bodies past the size where they switch to
// sorting) against the same classes and pairs added one at a time.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "model/attrs.h"

namespace vedavi {
namespace {

// The one-at-a-time rules, written plainly: a class once and non-empty, "id" and "class" routed,
// any other key updating its first pair in place.
void plain_push_class(Attr& attr, const std::string& name) {
  if (name.empty()) return;
  for (const auto& have : attr.classes)
    if (have == name) return;
  attr.classes.push_back(name);
}

void plain_set_pair(Attr& attr, const std::string& key, const std::string& value) {
  if (key == "id") {
    attr.id = value;
    return;
  }
  if (key == "class") {
    std::size_t begin = 0;
    while (begin < value.size()) {
      std::size_t end = value.find(' ', begin);
      if (end == std::string::npos) end = value.size();
      plain_push_class(attr, value.substr(begin, end - begin));
      begin = end + 1;
    }
    return;
  }
  for (auto& pair : attr.pairs) {
    if (pair.first == key) {
      pair.second = value;
      return;
    }
  }
  attr.pairs.emplace_back(key, value);
}

void plain_merge(Attr& attr, const Attr& other) {
  if (other.id) attr.id = other.id;
  for (const auto& name : other.classes) plain_push_class(attr, name);
  for (const auto& [key, value] : other.pairs) plain_set_pair(attr, key, value);
}

class RandomAttrs {
 public:
  explicit RandomAttrs(unsigned seed) : random_(seed) {}

  std::size_t below(std::size_t n) { return random_() % n; }
  std::string class_name() { return "c" + std::to_string(below(50)); }
  std::string key() {
    const std::size_t pick = below(24);
    if (pick == 0) return "id";
    if (pick == 1) return "class";
    return "k" + std::to_string(pick % 15);
  }
  std::string value() { return below(4) == 0 ? "" : "v" + std::to_string(below(100)); }

  // A set of up to `size` classes and pairs; `raw` adds entries without the set's rules (a key
  // twice), as a caller filling the fields directly may.
  Attr make(std::size_t size, bool raw) {
    Attr attr;
    if (below(2)) attr.id = value();
    const std::size_t count = below(size + 1);
    for (std::size_t i = 0; i < count; ++i) {
      if (below(2)) {
        plain_push_class(attr, class_name());
      } else if (raw && below(4) == 0) {
        attr.pairs.emplace_back("k" + std::to_string(below(15)), value());
      } else {
        plain_set_pair(attr, key(), below(3) == 0 ? class_name() + " " + class_name() : value());
      }
    }
    return attr;
  }

 private:
  std::mt19937 random_;
};

TEST(AttrBulk, MergeEqualsOneAtATime) {
  RandomAttrs random(20261206);
  for (int round = 0; round < 3000; ++round) {
    const std::size_t size = round % 3 == 0 ? 10 : 80;  // both sides of the bulk threshold
    Attr receiver = random.make(size, true);
    const Attr other = random.make(size, true);
    Attr expected = receiver;
    plain_merge(expected, other);
    receiver.merge(other);
    ASSERT_EQ(receiver, expected) << "round " << round;
  }
}

TEST(AttrBulk, SetPairClassEqualsOneAtATime) {
  RandomAttrs random(7);
  for (int round = 0; round < 1000; ++round) {
    Attr attr = random.make(60, true);
    std::string words;
    for (std::size_t i = random.below(70); i > 0; --i) words += random.class_name() + "  ";
    Attr expected = attr;
    plain_set_pair(expected, "class", words);
    attr.set_pair("class", words);
    ASSERT_EQ(attr, expected) << "round " << round;
  }
}

TEST(AttrBulk, BodyEqualsItsTokensOneAtATime) {
  RandomAttrs random(99);
  for (int round = 0; round < 2000; ++round) {
    std::string body;
    Attr expected;
    for (std::size_t i = random.below(90); i > 0; --i) {
      switch (random.below(4)) {
        case 0: {
          const std::string name = random.class_name();
          body += "." + name + " ";
          plain_push_class(expected, name);
          break;
        }
        case 1: {
          const std::string id = "i" + std::to_string(random.below(5));
          body += "#" + id + " ";
          expected.id = id;
          break;
        }
        default: {
          const std::string key = random.key();
          const std::string value = random.below(2) ? random.class_name() + " " + random.class_name()
                                                     : random.value();
          body += key + "='" + value + "' ";
          plain_set_pair(expected, key, value);
        }
      }
    }
    ASSERT_EQ(attrs::parse_attrs_body(body), expected) << body;
  }
}

}  // namespace
}  // namespace vedavi
