#!/usr/bin/env python3
"""Keeps the product sources within the house size limits.

Lists every product source file (*.cpp, *.h, *.c outside tests/, bench/, fuzz/ and build*/) over
400 lines, and every function body over 50 lines: free functions, methods, constructors and
destructors, counted from the line the declaration starts on (a template line included) to the
line of the closing brace. A lambda counts as part of the function it is written in. Comments,
strings, raw strings, character literals and preprocessor lines never count as code.

Usage: tools/check_sizes.py [--file-limit N] [--function-limit N] [PATH...]
  PATH is a file or a folder (default: the whole tree, the folder above tools/).
  --self-test runs the checker on its own table of tricky cases.
Exit status: 0 when everything is within the limits, 1 when anything is over, 2 on bad usage.
Each finding is one line: FILE:LINE: LENGTH lines: NAME (file limit N | function limit N).
"""
import argparse
import os
import re
import sys
from collections import namedtuple

SOURCE_SUFFIXES = (".cpp", ".h", ".c")
SKIPPED_FOLDERS = ("tests", "bench", "fuzz")  # at the top of the tree; so is build*
CLASS_KEYS = {"class", "struct", "union", "enum"}
ACCESS_WORDS = {"public", "protected", "private", "slots", "signals", "Q_SLOTS", "Q_SIGNALS"}
NOT_A_NAME = {"alignas", "__attribute__", "__declspec", "decltype", "noexcept", "sizeof",
              "alignof", "requires", "static_assert"}
RAW_PREFIXES = {"R", "u8R", "uR", "UR", "LR"}
LITERAL_PREFIXES = {"u8", "u", "U", "L"}
MACRO_NAME = re.compile(r"^[A-Z][A-Z0-9_]+$")
IDENTIFIER = re.compile(r"[A-Za-z_$\x80-\U0010ffff][A-Za-z0-9_$\x80-\U0010ffff]*")
NUMBER = re.compile(r"\.?[0-9](?:[eEpP][+-]|'(?=[0-9A-Za-z])|[0-9A-Za-z_.])*")
RAW_OPENING = re.compile(r'"([^()\\\s]{0,16})\(')
PUNCTUATORS = ("::", "->", "...")

Token = namedtuple("Token", "text line")
Finding = namedtuple("Finding", "line length name")


class Tokens:
    """C and C++ tokens of one text with the line each starts on. Comments and preprocessor
    lines are dropped; a string becomes the token '"', a character literal "'", a number "0"."""

    def __init__(self, text):
        self.text, self.pos, self.line, self.tokens = text, 0, 1, []
        self.line_start = True  # nothing but blanks since the last line break
        self.directive = False  # inside a preprocessor line, whose tokens are dropped
        while self.pos < len(text):
            self.step()

    def add(self, text, line):
        if not self.directive:
            self.tokens.append(Token(text, line))
        self.line_start = False

    def skip_to(self, end):
        """Moves past text[pos:end], counting its line breaks."""
        self.line += self.text.count("\n", self.pos, end)
        self.pos = end

    def quoted(self, quote):
        """Moves past a string or character literal whose opening quote is at pos."""
        i, text = self.pos + 1, self.text
        while i < len(text) and text[i] != quote and text[i] != "\n":
            i += 2 if text[i] == "\\" else 1
        self.skip_to(min(i + 1, len(text)))

    def step(self):
        text, pos, line = self.text, self.pos, self.line
        c, two = text[pos], text[pos:pos + 2]
        if c == "\n":
            self.line, self.pos, self.line_start, self.directive = line + 1, pos + 1, True, False
        elif two in ("\\\n", "\\\r") or c.isspace():
            self.skip_to(pos + (2 if c == "\\" else 1))
        elif two == "//":
            end = re.compile(r"(?<!\\)\n").search(text, pos)
            self.skip_to(end.start() if end else len(text))
        elif two == "/*":
            end = text.find("*/", pos + 2)
            self.skip_to(len(text) if end < 0 else end + 2)
        elif c == "#" and self.line_start:
            self.directive, self.pos = True, pos + 1
        elif c in "\"'":
            self.quoted(c)
            self.add(c, line)
        elif NUMBER.match(text, pos):
            self.pos = NUMBER.match(text, pos).end()
            self.add("0", line)
        elif IDENTIFIER.match(text, pos):
            self.word(IDENTIFIER.match(text, pos).group(), line)
        else:
            punctuator = next((p for p in PUNCTUATORS if text.startswith(p, pos)), c)
            self.pos = pos + len(punctuator)
            self.add(punctuator, line)

    def word(self, word, line):
        self.pos += len(word)
        after = self.text[self.pos:self.pos + 1]
        raw = RAW_OPENING.match(self.text, self.pos) if word in RAW_PREFIXES else None
        if raw:
            closing = ")" + raw.group(1) + '"'
            end = self.text.find(closing, raw.end())
            self.skip_to(len(self.text) if end < 0 else end + len(closing))
            self.add('"', line)
        elif word in LITERAL_PREFIXES and after in ("'", '"'):
            self.quoted(after)
            self.add(after, line)
        else:
            self.add(word, line)


def matching(tokens, i, opening, closing):
    """The index just past the bracket that closes the one at tokens[i]."""
    depth = 0
    while i < len(tokens):
        if tokens[i].text == opening:
            depth += 1
        elif tokens[i].text == closing:
            depth -= 1
            if depth == 0:
                return i + 1
        i += 1
    return i


def operator_end(head, i):
    """The index past the symbol of the operator whose keyword is head[i]."""
    if i + 2 < len(head) and head[i + 1].text == "(" and head[i + 2].text == ")":
        return i + 3
    j = i + 1
    while j < len(head) and head[j].text != "(":
        j += 1
    return j


def outer_indices(head):
    """The indices of head's tokens outside every (), [], {} and <>, operator symbols left out.
    Before a parameter list every < opens template arguments."""
    indices, depth, angles, i = [], 0, 0, 0
    while i < len(head):
        text = head[i].text
        if depth == 0 and angles == 0:
            indices.append(i)
            if text == "operator":
                i = operator_end(head, i)
                continue
        if text in "([{":
            depth += 1
        elif text in ")]}":
            depth -= 1
        elif depth == 0 and text == "<":
            angles += 1
        elif depth == 0 and text == ">" and angles > 0:
            angles -= 1
        i += 1
    return indices


def parameter_list(head, outer):
    """The index of the ( that opens the parameter list of a function head, or None."""
    symbol_end = None
    for i in outer:
        if head[i].text == "operator":
            symbol_end = operator_end(head, i)
        if head[i].text != "(" or i == 0:
            continue
        if i == symbol_end:
            return i
        before = head[i - 1].text
        if before in NOT_A_NAME:
            continue
        if IDENTIFIER.fullmatch(before) or before in (">", ")"):
            return i
    return None


def classify(head):
    """What a { after `head` opens: 'scope' (namespace, class), 'function' or 'other'."""
    texts = [t.text for t in head]
    if "namespace" in texts or texts == ["extern", '"']:
        return "scope"  # extern "C" int f() { is a function, extern "C" { a scope
    outer = outer_indices(head)
    outer_texts = [texts[i] for i in outer]
    if "=" in outer_texts:
        return "other"  # a variable's initialiser, a lambda among them
    params = parameter_list(head, outer)
    key = next((i for i in outer if texts[i] in CLASS_KEYS), None)
    if key is not None and (params is None or params < key):
        return "other" if texts[key] == "enum" else "scope"
    return "other" if params is None else "function"


def in_initialiser_list(head):
    """Whether head ends inside a constructor's member initialiser list."""
    outer = outer_indices(head)
    params = parameter_list(head, outer)
    return params is not None and any(
        head[i].text == ":" and i > params for i in outer)


def declaration_start(head):
    """Where the declaration in head begins: a macro alone on the lines above it (Q_OBJECT,
    Q_DISABLE_COPY(T)) is left out."""
    i = 0
    while i < len(head) and MACRO_NAME.match(head[i].text):
        end = i + 1
        if end < len(head) and head[end].text == "(" and head[end].line == head[i].line:
            end = matching(head, end, "(", ")")
        if end >= len(head) or head[end].line == head[end - 1].line:
            break
        i = end
    return i


def name_part_start(head, end):
    """Where the name part (`Name`, `~Name`, `Name<args>`) ending before head[end] starts."""
    i = end
    if i > 0 and head[i - 1].text == ">":
        depth = 0
        while i > 0:
            i -= 1
            depth += {">": 1, "<": -1}.get(head[i].text, 0)
            if depth == 0:
                break
    if i > 0 and IDENTIFIER.fullmatch(head[i - 1].text) and head[i - 1].text not in NOT_A_NAME:
        i -= 1
    if i > 0 and head[i - 1].text == "~":
        i -= 1
    return i


def function_name(head):
    """The qualified name in a function head: Class::Method, Class::~Class, operator()."""
    outer = outer_indices(head)
    params = parameter_list(head, outer)
    start = next((i for i in outer if head[i].text == "operator"
                  and operator_end(head, i) == params), None)
    if start is None:
        start = name_part_start(head, params)
    while start > 0 and head[start - 1].text == "::":
        part = name_part_start(head, start - 1)
        if part == start - 1:  # a leading ::
            start = part
            break
        start = part
    name = ""
    for t in head[start:params]:
        if name and IDENTIFIER.fullmatch(name[-1]) and IDENTIFIER.fullmatch(t.text[0]):
            name += " "
        name += t.text
    return name


def functions(tokens, i=0, found=None):
    """The function bodies in the scope starting at tokens[i]; returns (found, index past the
    scope's closing brace)."""
    found = [] if found is None else found
    head_start = i
    while i < len(tokens):
        text = tokens[i].text
        head = tokens[head_start:i]
        if text == ";":
            head_start = i = i + 1
        elif text == "}":
            return found, i + 1
        elif text == ":" and head and all(t.text in ACCESS_WORDS for t in head):
            head_start = i = i + 1
        elif text in "([":
            i = matching(tokens, i, text, ")" if text == "(" else "]")
        elif text != "{":
            i += 1
        elif in_initialiser_list(head) and head[-1].text not in (")", "}", "..."):
            i = matching(tokens, i, "{", "}")  # a member's braced initialiser
        else:
            kind = classify(head) if head else "other"
            if kind == "scope":
                _, i = functions(tokens, i + 1, found)
                head_start = i
                continue
            end = matching(tokens, i, "{", "}")
            if kind == "function":
                first = head[declaration_start(head)]
                last = tokens[min(end, len(tokens)) - 1].line
                found.append(Finding(first.line, last - first.line + 1, function_name(head)))
                head_start = end
            i = end
    return found, i


def line_count(text):
    return text.count("\n") + (1 if text and not text.endswith("\n") else 0)


def check_file(path, shown, file_limit, function_limit):
    """The lines reporting what in one file is over the limits."""
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    report = []
    lines = line_count(text)
    if lines > file_limit:
        report.append(f"{shown}:1: {lines} lines: file (file limit {file_limit})")
    for finding in functions(Tokens(text).tokens)[0]:
        if finding.length > function_limit:
            report.append(f"{shown}:{finding.line}: {finding.length} lines: {finding.name} "
                          f"(function limit {function_limit})")
    return report


def product_sources(root):
    """Every product source file under root, in a stable order."""
    for folder, subfolders, files in os.walk(root):
        top = os.path.relpath(folder, root) == "."
        subfolders[:] = sorted(
            d for d in subfolders if not d.startswith(".") and not (
                top and (d in SKIPPED_FOLDERS or d.startswith("build"))))
        for name in sorted(files):
            if name.endswith(SOURCE_SUFFIXES):
                yield os.path.join(folder, name)


# The checker's own cases: a source text and every function it holds, as (line, length, name).
SELF_TEST = [
    ("""namespace a {
Window::Window(QWidget* parent,
               int size)
    : QWidget(parent), size_{size}, names_{{"{", 1}} {
  const char* text = "}{";
  char brace = '{';  // }
  auto lambda = [this] { return size_ > 1'000; };
}
}  // namespace a
""", [(2, 7, "Window::Window")]),
    (r'''/* void f() { */
extern "C" {
int f(int x) {
  const char* raw = R"x(}
)" })x";
  return x;
}
}
#define OPEN {
#define LONG_MACRO(x) \
  void g() {
auto kTable = [](int y) {
  return y;
};
extern "C" int Entry(const char* data) {
  try {
    return data[0] == '\\';
  } catch (...) {
  }
}
''', [(3, 5, "f"), (15, 6, "Entry")]),
    ("""class Button : public QWidget {
  Q_OBJECT
 public slots:
  int x_{0};
  std::function<void()> hook_ = [] {};
  enum class Kind { kA = 1, kB };
  bool operator==(const Button&) const { return true; }
  void operator()() {}
  template <typename T>
  T Get() const {
    return T{};
  }
  ~Button() override { Done(); }
};
std::map<int, std::vector<int>>
ns::Outer<int>::Table(int)
    noexcept {
  return {};
}
struct Point* Find(int) { return nullptr; }
""", [(7, 1, "operator=="), (8, 1, "operator()"), (9, 4, "Get"), (13, 1, "~Button"),
      (15, 5, "ns::Outer<int>::Table"), (20, 1, "Find")]),
]


def self_test():
    """Runs SELF_TEST; returns the number of cases that failed."""
    failed = 0
    for number, (source, expected) in enumerate(SELF_TEST, 1):
        found = [tuple(f) for f in functions(Tokens(source).tokens)[0]]
        if found != expected:
            failed += 1
            print(f"self-test case {number}: found {found}, expected {expected}")
    return failed


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("paths", nargs="*", metavar="PATH")
    parser.add_argument("--file-limit", type=int, default=400)
    parser.add_argument("--function-limit", type=int, default=50)
    parser.add_argument("--self-test", action="store_true")
    args = parser.parse_args()
    if args.self_test:
        return 1 if self_test() else 0
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    # Files are named from the tree's top when the whole tree is checked, else as given.
    base = root if not args.paths else os.getcwd()
    report = []
    for path in args.paths or [root]:
        if not os.path.exists(path):
            parser.error(f"no such file or folder: {path}")
        files = product_sources(path) if os.path.isdir(path) else [path]
        for file in files:
            report += check_file(file, os.path.relpath(file, base), args.file_limit,
                                 args.function_limit)
    for line in report:
        print(line)
    return 1 if report else 0


if __name__ == "__main__":
    sys.exit(main())
