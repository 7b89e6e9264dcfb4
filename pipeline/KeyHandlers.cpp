// A game's key handling, read from its classes, and the renames of its key handlers.
#include "pipeline/KeyHandlers.h"

#include <algorithm>
#include <deque>
#include <map>
#include <optional>

#include "pipeline/ClassFile.h"
#include "pipeline/ClassPatcher.h"

namespace korvel {

namespace {

constexpr std::string_view kNokiaFullCanvasName = "com/nokia/mid/ui/FullCanvas";

// The canvases a game's canvases build on, the handset's and ours.
bool IsCanvasRoot(std::string_view name) {
  return name == kCanvasClassName || name == kGameCanvasClassName || name == kFullCanvasClassName ||
         name == kFullGameCanvasClassName || name == kFullKeyCanvasClassName ||
         name == kFullKeyGameCanvasClassName || name == kNokiaFullCanvasName;
}

std::optional<std::string_view> RenamedHandler(std::string_view name, std::string_view descriptor) {
  if (descriptor != kKeyHandlerDescriptor) return std::nullopt;
  for (const KeyHandlerName& handler : kKeyHandlerNames) {
    if (name == handler.original) return handler.renamed;
  }
  return std::nullopt;
}

bool IsKeyHandler(std::string_view name, std::string_view descriptor) {
  if (descriptor != kKeyHandlerDescriptor) return false;
  return std::any_of(
      std::begin(kKeyHandlerNames), std::end(kKeyHandlerNames),
      [&](const KeyHandlerName& h) { return name == h.original || name == h.renamed; });
}

std::int32_t Signed(std::uint32_t value, int bits) {
  const std::uint32_t sign = 1u << (bits - 1);
  return static_cast<std::int32_t>((value ^ sign) - sign);
}

// One method's code, walked instruction by instruction.
class CodeWalker {
 public:
  CodeWalker(const ClassOutline& outline, const MethodOutline& method)
      : outline_(outline), code_(outline.Bytes().substr(method.code_offset, method.code_length)) {}

  void Walk(ClassKeyFacts::Method& out) {
    std::size_t pc = 0;
    // The last two instructions: whether each pushed an int constant, and its value.
    struct Pushed {
      bool constant = false;
      bool load = false;
      int value = 0;
    } last, before_last;
    while (pc < code_.size()) {
      const std::uint8_t op = U1(pc);
      Pushed now;
      std::size_t length = 1;
      if (op == 0x02 || (op >= 0x03 && op <= 0x08)) {  // iconst_m1 .. iconst_5
        now = {true, false, op - 0x03};
      } else if (op == 0x10) {  // bipush
        now = {true, false, Signed(U1(pc + 1), 8)};
        length = 2;
      } else if (op == 0x11) {  // sipush
        now = {true, false, Signed(U2(pc + 1), 16)};
        length = 3;
      } else if (op == 0x12 || op == 0x13) {  // ldc, ldc_w
        const std::uint16_t index = op == 0x12 ? U1(pc + 1) : U2(pc + 1);
        if (index < outline_.Pool().size() && outline_.Pool()[index].tag == ConstantTag::kInteger) {
          now = {true, false, outline_.Integer(index)};
        }
        length = op == 0x12 ? 2 : 3;
      } else if (op >= 0x9f && op <= 0xa4) {  // if_icmp<cond>
        if (last.constant) {
          out.compared.push_back(last.value);
        } else if (last.load && before_last.constant) {
          out.compared.push_back(before_last.value);
        }
        length = 3;
      } else if (op == 0xaa || op == 0xab) {
        length = Switch(pc, op == 0xaa, out.compared);
      } else if (op >= 0xb6 && op <= 0xb9) {  // invokevirtual, special, static, interface
        out.calls.push_back(Call(U2(pc + 1)));
        length = op == 0xb9 ? 5 : 3;
      } else {
        length = Length(pc, op);
        // Loads of an int: a local, a field, a static.
        now.load = (op >= 0x1a && op <= 0x1d) || op == 0x15 || op == 0xb2 || op == 0xb4;
      }
      before_last = last;
      last = now;
      pc += length;
    }
  }

 private:
  std::uint8_t U1(std::size_t at) const {
    if (at >= code_.size()) throw ClassFormatError("an instruction overruns a method's code");
    return static_cast<std::uint8_t>(code_[at]);
  }
  std::uint16_t U2(std::size_t at) const {
    return static_cast<std::uint16_t>(U1(at) << 8 | U1(at + 1));
  }
  std::int32_t S4(std::size_t at) const {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(U2(at)) << 16 | U2(at + 2));
  }

  // A tableswitch's or lookupswitch's keys that lead elsewhere than the default.
  std::size_t Switch(std::size_t pc, bool table, std::vector<int>& keys) const {
    const std::size_t base = (pc + 4) & ~std::size_t{3};
    const std::int32_t fallback = S4(base);
    if (table) {
      const std::int32_t low = S4(base + 4);
      const std::int32_t high = S4(base + 8);
      if (high < low) throw ClassFormatError("a tableswitch has no range");
      const std::size_t count = static_cast<std::size_t>(static_cast<std::int64_t>(high) - low) + 1;
      if (count > code_.size()) throw ClassFormatError("a tableswitch overruns a method's code");
      for (std::size_t i = 0; i < count; ++i) {
        if (S4(base + 12 + 4 * i) != fallback)
          keys.push_back(static_cast<int>(low + static_cast<std::int64_t>(i)));
      }
      return base + 12 + 4 * count - pc;
    }
    const std::int32_t pairs = S4(base + 4);
    if (pairs < 0 || static_cast<std::size_t>(pairs) > code_.size()) {
      throw ClassFormatError("a lookupswitch overruns a method's code");
    }
    for (std::int32_t i = 0; i < pairs; ++i)
      keys.push_back(S4(base + 8 + 8 * static_cast<std::size_t>(i)));
    return base + 8 + 8 * static_cast<std::size_t>(pairs) - pc;
  }

  MethodCall Call(std::uint16_t index) const {
    if (index == 0 || index >= outline_.Pool().size()) {
      throw ClassFormatError("a call names a missing constant");
    }
    const Constant& ref = outline_.Pool()[index];
    if (ref.tag != ConstantTag::kMethodref && ref.tag != ConstantTag::kInterfaceMethodref) {
      throw ClassFormatError("a call names no method");
    }
    const Constant& name_and_type =
        outline_.Entry(outline_.IndexIn(ref, 3), ConstantTag::kNameAndType);
    return {std::string(outline_.ClassName(outline_.IndexIn(ref, 1))),
            std::string(outline_.Utf8(outline_.IndexIn(name_and_type, 1))),
            std::string(outline_.Utf8(outline_.IndexIn(name_and_type, 3)))};
  }

  // The length of an instruction the walk does not look into.
  std::size_t Length(std::size_t pc, std::uint8_t op) const {
    if (op <= 0x0f) return 1;
    if (op == 0x14) return 3;                // ldc2_w
    if (op >= 0x15 && op <= 0x19) return 2;  // loads with an index
    if (op >= 0x1a && op <= 0x35) return 1;
    if (op >= 0x36 && op <= 0x3a) return 2;  // stores with an index
    if (op >= 0x3b && op <= 0x83) return 1;
    if (op == 0x84) return 3;  // iinc
    if (op >= 0x85 && op <= 0x98) return 1;
    if (op >= 0x99 && op <= 0xa8) return 3;  // branches
    if (op == 0xa9) return 2;                // ret
    if (op >= 0xac && op <= 0xb1) return 1;  // returns
    if (op >= 0xb2 && op <= 0xb5) return 3;  // fields
    if (op == 0xba) return 5;                // invokedynamic
    if (op == 0xbb || op == 0xbd || op == 0xc0 || op == 0xc1) return 3;
    if (op == 0xbc) return 2;  // newarray
    if (op == 0xbe || op == 0xbf || op == 0xc2 || op == 0xc3) return 1;
    if (op == 0xc4) return U1(pc + 1) == 0x84 ? 6 : 4;  // wide
    if (op == 0xc5) return 4;                           // multianewarray
    if (op == 0xc6 || op == 0xc7) return 3;             // ifnull, ifnonnull
    if (op == 0xc8 || op == 0xc9) return 5;             // goto_w, jsr_w
    throw ClassFormatError("unknown instruction " + std::to_string(op));
  }

  const ClassOutline& outline_;
  std::string_view code_;
};

using FactsByName = std::map<std::string_view, const ClassKeyFacts*>;

FactsByName ByName(const std::vector<ClassKeyFacts>& classes) {
  FactsByName by_name;
  for (const ClassKeyFacts& facts : classes) by_name.emplace(facts.name, &facts);
  return by_name;
}

// Whether `name` is `ancestor` or descends from it through classes of the game.
bool DescendsFrom(const FactsByName& by_name, std::string_view name, std::string_view ancestor) {
  for (std::size_t depth = 0; depth <= by_name.size(); ++depth) {
    if (name == ancestor) return true;
    const auto found = by_name.find(name);
    if (found == by_name.end()) return false;
    name = found->second->super;
  }
  return false;  // a cycle: no well-formed game has one
}

}  // namespace

ClassKeyFacts ReadClassKeyFacts(std::string_view bytes) {
  const ClassOutline outline(bytes);
  ClassKeyFacts facts;
  facts.name = outline.ClassName(outline.ThisClass());
  if (outline.SuperClass() != 0) facts.super = outline.ClassName(outline.SuperClass());
  for (const MethodOutline& method : outline.Methods()) {
    ClassKeyFacts::Method& out = facts.methods.emplace_back();
    out.name = outline.Utf8(method.name);
    out.descriptor = outline.Utf8(method.descriptor);
    if (method.code_offset != 0) CodeWalker(outline, method).Walk(out);
  }
  return facts;
}

std::vector<int> KeyHandlerComparisons(const std::vector<ClassKeyFacts>& classes) {
  const FactsByName by_name = ByName(classes);
  using MethodKey = std::pair<const ClassKeyFacts*, const ClassKeyFacts::Method*>;
  std::set<MethodKey> seen;
  std::deque<MethodKey> pending;
  const auto visit = [&](const ClassKeyFacts* cls, const ClassKeyFacts::Method* method) {
    if (seen.insert({cls, method}).second) pending.push_back({cls, method});
  };
  for (const ClassKeyFacts& cls : classes) {
    for (const ClassKeyFacts::Method& method : cls.methods) {
      if (IsKeyHandler(method.name, method.descriptor)) visit(&cls, &method);
    }
  }
  std::vector<int> compared;
  while (!pending.empty()) {
    const auto [cls, method] = pending.front();
    pending.pop_front();
    compared.insert(compared.end(), method->compared.begin(), method->compared.end());
    for (const MethodCall& call : method->calls) {
      // The method the call reaches: defined by the class named or one it builds on, or
      // overridden by one that builds on it.
      for (const ClassKeyFacts& other : classes) {
        if (!DescendsFrom(by_name, other.name, call.owner) &&
            !DescendsFrom(by_name, call.owner, other.name)) {
          continue;
        }
        for (const ClassKeyFacts::Method& target : other.methods) {
          if (target.name == call.name && target.descriptor == call.descriptor) {
            visit(&other, &target);
          }
        }
      }
    }
  }
  return compared;
}

std::set<std::string> CanvasDescendants(const std::vector<ClassKeyFacts>& classes,
                                        bool nokia_stand_in) {
  const FactsByName by_name = ByName(classes);
  std::set<std::string> canvases;
  for (const ClassKeyFacts& cls : classes) {
    // Our own canvases, from an earlier adaptation, are replaced, never renamed.
    if (IsCanvasRoot(cls.name) && cls.name != kNokiaFullCanvasName) continue;
    std::string_view name = cls.super;
    for (std::size_t depth = 0; depth <= by_name.size(); ++depth) {
      if (IsCanvasRoot(name) && (nokia_stand_in || name != kNokiaFullCanvasName)) {
        canvases.insert(cls.name);
        break;
      }
      const auto found = by_name.find(name);
      if (found == by_name.end()) break;
      name = found->second->super;
    }
  }
  return canvases;
}

bool RenameKeyHandlers(std::string& bytes, const std::set<std::string>& canvases) {
  const ClassOutline outline(bytes);
  const std::string self(outline.ClassName(outline.ThisClass()));
  const bool is_canvas = canvases.count(self) != 0;

  // New pool entries: the renamed names, and a NameAndType for each renamed call.
  std::string added;
  std::size_t next = outline.Pool().size();
  std::map<std::string_view, std::size_t> utf8_of;
  std::map<std::string_view, std::size_t> name_and_type_of;
  const auto utf8 = [&](std::string_view text) {
    auto [at, fresh] = utf8_of.emplace(text, next);
    if (fresh) {
      added += '\x01';
      added += static_cast<char>(text.size() >> 8);
      added += static_cast<char>(text.size() & 0xFF);
      added += text;
      ++next;
    }
    return at->second;
  };
  std::vector<std::pair<std::size_t, std::size_t>> patches;  // offset of a u2, new index

  for (const MethodOutline& method : outline.Methods()) {
    if (!is_canvas) break;
    if (const auto renamed =
            RenamedHandler(outline.Utf8(method.name), outline.Utf8(method.descriptor))) {
      patches.push_back({method.name_offset, utf8(*renamed)});
    }
  }
  for (const Constant& entry : outline.Pool()) {
    if (entry.tag != ConstantTag::kMethodref) continue;
    const std::string owner(outline.ClassName(outline.IndexIn(entry, 1)));
    const Constant& name_and_type =
        outline.Entry(outline.IndexIn(entry, 3), ConstantTag::kNameAndType);
    const auto renamed = RenamedHandler(outline.Utf8(outline.IndexIn(name_and_type, 1)),
                                        outline.Utf8(outline.IndexIn(name_and_type, 3)));
    if (!renamed) continue;
    const bool on_game_canvas = canvases.count(owner) != 0;
    // super.keyPressed(k) from a game's canvas: the renamed handler is found from its super
    // class on, since the handset's canvas has none.
    const bool on_root = is_canvas && IsCanvasRoot(owner);
    if (!on_game_canvas && !on_root) continue;
    if (on_root) patches.push_back({entry.offset + 1, outline.SuperClass()});
    auto [at, fresh] = name_and_type_of.emplace(*renamed, 0);
    if (fresh) {
      const std::size_t name = utf8(*renamed);
      const std::size_t descriptor = outline.IndexIn(name_and_type, 3);
      at->second = next++;
      added += '\x0C';
      for (std::size_t value : {name, descriptor}) {
        added += static_cast<char>(value >> 8);
        added += static_cast<char>(value & 0xFF);
      }
    }
    patches.push_back({entry.offset + 3, at->second});
  }
  if (patches.empty()) return false;
  if (next > 0xFFFF) throw ClassFormatError("the constant pool has no room left");

  const std::size_t pool_end = outline.PoolEnd();
  std::string out;
  out.reserve(bytes.size() + added.size());
  out.append(bytes, 0, pool_end).append(added).append(bytes, pool_end);
  const auto put = [&out](std::size_t at, std::size_t value) {
    out[at] = static_cast<char>(value >> 8 & 0xFF);
    out[at + 1] = static_cast<char>(value & 0xFF);
  };
  put(8, next);  // the pool count
  for (const auto& [offset, index] : patches) {
    put(offset < pool_end ? offset : offset + added.size(), index);
  }
  bytes = std::move(out);
  return true;
}

}  // namespace korvel
