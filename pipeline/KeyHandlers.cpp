// A game's key handling, read from its classes.
#include "pipeline/KeyHandlers.h"

#include <algorithm>
#include <deque>
#include <map>

#include "pipeline/ClassPasses.h"
#include "pipeline/classfile/Bytecode.h"

namespace korvel {

namespace {

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

constexpr auto Code(Op op) {
  return static_cast<std::uint8_t>(op);
}

// What an instruction pushed, as far as the comparisons care: an int constant, or a load.
struct Pushed {
  bool constant = false;
  bool load = false;
  int value = 0;
};

// The int constant an instruction pushes, if it pushes one.
std::optional<int> PushedConstant(const ClassOutline& outline, const Bytecode& code, std::size_t pc,
                                  std::uint8_t op) {
  if (op >= Code(Op::kIconstM1) && op <= Code(Op::kIconst5)) return op - Code(Op::kIconst0);
  if (op == Code(Op::kBipush)) return Signed(code.U1(pc + 1), 8);
  if (op == Code(Op::kSipush)) return Signed(code.U2(pc + 1), 16);
  if (op == Code(Op::kLdc) || op == Code(Op::kLdcW)) {
    const std::uint16_t index = op == Code(Op::kLdc) ? code.U1(pc + 1) : code.U2(pc + 1);
    if (index < outline.Pool().size() && outline.Pool()[index].tag == ConstantTag::kInteger) {
      return outline.Integer(index);
    }
  }
  return std::nullopt;
}

// A tableswitch's keys that lead elsewhere than the default, or all of a lookupswitch's.
void SwitchKeys(const Bytecode& code, std::size_t pc, bool table, std::vector<int>& keys) {
  const Bytecode::Switch s = code.SwitchAt(pc, table);
  if (!table) {
    for (std::size_t i = 0; i < s.count; ++i) keys.push_back(code.S4(s.base + 8 + 8 * i));
    return;
  }
  const std::int32_t fallback = code.S4(s.base);
  for (std::size_t i = 0; i < s.count; ++i) {
    if (code.S4(s.base + 12 + 4 * i) != fallback) {
      keys.push_back(static_cast<int>(s.low + static_cast<std::int64_t>(i)));
    }
  }
}

// One method's comparisons and calls, instruction by instruction.
void WalkMethod(const ClassOutline& outline, const MethodOutline& method,
                ClassKeyFacts::Method& out) {
  const Bytecode code(outline.Bytes().substr(method.code_offset, method.code_length));
  Pushed last, before_last;  // the last two instructions
  code.ForEach([&](std::size_t pc, std::uint8_t op) {
    Pushed now;
    if (const std::optional<int> constant = PushedConstant(outline, code, pc, op)) {
      now = {true, false, *constant};
    } else if (op >= Code(Op::kIfIcmpeq) && op <= Code(Op::kIfIcmple)) {
      if (last.constant) {
        out.compared.push_back(last.value);
      } else if (last.load && before_last.constant) {
        out.compared.push_back(before_last.value);
      }
    } else if (op == Code(Op::kTableswitch) || op == Code(Op::kLookupswitch)) {
      SwitchKeys(code, pc, op == Code(Op::kTableswitch), out.compared);
    } else if (op >= Code(Op::kInvokevirtual) && op <= Code(Op::kInvokeinterface)) {
      const MemberRef ref = outline.Reference(code.U2(pc + 1));
      if (outline.Pool()[code.U2(pc + 1)].tag == ConstantTag::kFieldref) {
        throw ClassFormatError("a call names no method");
      }
      out.calls.push_back(
          {std::string(ref.owner), std::string(ref.name), std::string(ref.descriptor)});
    } else {
      // Loads of an int: a local, a field, a static.
      now.load = (op >= Code(Op::kIload0) && op <= Code(Op::kIload3)) || op == Code(Op::kIload) ||
                 op == Code(Op::kGetstatic) || op == Code(Op::kGetfield);
    }
    before_last = last;
    last = now;
  });
}

using FactsByName = std::map<std::string_view, const ClassKeyFacts*>;

FactsByName ByName(const std::vector<ClassKeyFacts>& classes) {
  FactsByName by_name;
  for (const ClassKeyFacts& facts : classes) by_name.emplace(facts.name, &facts);
  return by_name;
}

// The super class of a class of the game; nothing for a class outside it.
auto SuperOf(const FactsByName& by_name) {
  return [&by_name](std::string_view name) -> std::optional<std::string_view> {
    const auto found = by_name.find(name);
    if (found == by_name.end()) return std::nullopt;
    return std::string_view(found->second->super);
  };
}

// Whether `name` is `ancestor` or descends from it through classes of the game.
bool DescendsFrom(const FactsByName& by_name, std::string_view name, std::string_view ancestor) {
  return WalkSuperClasses(
             name, SuperOf(by_name), [ancestor](std::string_view n) { return n == ancestor; },
             by_name.size())
      .has_value();
}

}  // namespace

ClassKeyFacts ReadClassKeyFacts(const ClassOutline& outline) {
  ClassKeyFacts facts;
  facts.name = outline.ClassName(outline.ThisClass());
  if (outline.SuperClass() != 0) facts.super = outline.ClassName(outline.SuperClass());
  for (const MethodOutline& method : outline.Methods()) {
    ClassKeyFacts::Method& out = facts.methods.emplace_back();
    out.name = outline.Utf8(method.name);
    out.descriptor = outline.Utf8(method.descriptor);
    if (method.code_offset != 0) WalkMethod(outline, method, out);
  }
  return facts;
}

ClassKeyFacts ReadClassKeyFacts(std::string_view bytes) {
  return ReadClassKeyFacts(ClassOutline(bytes));
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

std::optional<KeyLayout> LayoutShownByCodes(const std::vector<int>& codes) {
  const auto& layouts = KnownKeyLayouts();
  const auto belongs = [](const KeyLayout& layout, int code) {
    return std::find(layout.codes.begin(), layout.codes.end(), code) != layout.codes.end();
  };
  const KeyLayout* found = nullptr;
  for (const KeyLayout& layout : layouts) {
    const bool evidence = std::any_of(codes.begin(), codes.end(), [&](int code) {
      if (!belongs(layout, code)) return false;
      // A code of another layout too tells nothing.
      return std::none_of(layouts.begin(), layouts.end(), [&](const KeyLayout& other) {
        return &other != &layout && belongs(other, code);
      });
    });
    if (!evidence) continue;
    if (found) return std::nullopt;
    found = &layout;
  }
  if (!found) return std::nullopt;
  return *found;
}

std::set<std::string> CanvasDescendants(const std::vector<ClassKeyFacts>& classes,
                                        bool nokia_stand_in) {
  const FactsByName by_name = ByName(classes);
  const auto root = [nokia_stand_in](std::string_view name) {
    return IsCanvasRoot(name) && (nokia_stand_in || name != kNokiaFullCanvasName);
  };
  std::set<std::string> canvases;
  for (const ClassKeyFacts& cls : classes) {
    // Our own canvases, from an earlier adaptation, are replaced, never renamed.
    if (IsCanvasRoot(cls.name) && cls.name != kNokiaFullCanvasName) continue;
    if (WalkSuperClasses(cls.super, SuperOf(by_name), root, by_name.size())) {
      canvases.insert(cls.name);
    }
  }
  return canvases;
}

bool RenameKeyHandlers(std::string& bytes, const std::set<std::string>& canvases) {
  const ClassOutline outline(bytes);
  PoolEditor editor(outline);
  if (!korvel::RenameKeyHandlers(editor, canvases)) return false;
  bytes = editor.Bytes();
  return true;
}

}  // namespace korvel
