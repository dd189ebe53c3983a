#include "net/FallbackRegex.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>

#include "ui/Text.h"

namespace net::fallback {
namespace {

// A character is its GBK code: one byte, or lead byte * 256 + trail byte.
constexpr int MaxCode = 0xFFFF;
constexpr int NoChar = -1;

// Limits that keep a hostile pattern from taking the memory or the time; beyond them the pattern
// counts as invalid.
constexpr size_t MaxInstructions = 20000;
constexpr size_t MaxThreadSlots = size_t(8) << 20; // threads x capture slots of one list
constexpr int MaxNesting = 500;
constexpr int MaxCount = 100000; // the n and m of {n,m}
// The dead-state memory of an iterated search (see DeadStates) stops growing here.
constexpr size_t MaxMemoBytes = size_t(64) << 20;

struct Decoded {
    int code;
    int length;
};

Decoded DecodeAt(const ui::Text& text, size_t pos) {
    auto lead = (unsigned char)text[pos];
    if (ui::IsLeadByte(lead) && pos + 1 < text.size())
        return {lead << 8 | (unsigned char)text[pos + 1], 2};
    return {lead, 1};
}

int FoldCode(int c) {
    return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
}
int OtherCase(int c) {
    if (c >= 'A' && c <= 'Z') return c - 'A' + 'a';
    if (c >= 'a' && c <= 'z') return c - 'a' + 'A';
    return c;
}
bool IsWordCode(int c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsLineEnd(int c) {
    return c == '\n' || c == '\r';
}

struct CharSet {
    std::vector<std::pair<int, int>> ranges;
    bool negated = false;

    bool Has(int c) const {
        for (auto [lo, hi] : ranges)
            if (c >= lo && c <= hi) return true;
        return false;
    }
    bool Contains(int c, bool ignoreCase) const {
        bool in = Has(c) || (ignoreCase && OtherCase(c) != c && Has(OtherCase(c)));
        return in != negated;
    }
};

// Adds the complement of `from` to `into`, over the whole code space.
void AddComplement(CharSet& into, const CharSet& from) {
    auto ranges = from.ranges;
    std::sort(ranges.begin(), ranges.end());
    int next = 0;
    for (auto [lo, hi] : ranges) {
        if (lo > next) into.ranges.push_back({next, lo - 1});
        next = std::max(next, hi + 1);
    }
    if (next <= MaxCode) into.ranges.push_back({next, MaxCode});
}

CharSet ClassOf(char letter) {
    CharSet set;
    switch (letter) {
    case 'd':
        set.ranges = {{'0', '9'}};
        break;
    case 'w':
        set.ranges = {{'0', '9'}, {'A', 'Z'}, {'a', 'z'}, {'_', '_'}};
        break;
    case 's':
        set.ranges = {{'\t', '\r'}, {' ', ' '}, {0xA1A1, 0xA1A1}};
        break; // A1A1: full-width blank
    }
    return set;
}

// ---- Parsing into a tree ----

struct Node {
    enum Kind {
        Empty,
        Literal,
        Any,
        Set,
        Bol,
        Eol,
        WordBoundary,
        NotWordBoundary,
        Group,
        Concat,
        Alternate,
        Repeat
    };
    Kind kind = Empty;
    int value = 0;         // Literal: code; Set: set index; Group: capture number or -1
    int min = 0, max = -1; // Repeat; max -1 unbounded
    bool greedy = true;
    std::vector<int> children;
};

class Parser {
  public:
    Parser(const ui::Text& pattern, std::vector<Node>& nodes, std::vector<CharSet>& sets)
        : p_(pattern), nodes_(nodes), sets_(sets) {}

    // Root node, or -1 for an invalid pattern.
    int Parse() {
        int root = Alternation();
        if (!ok_ || pos_ != p_.size()) return -1; // an unmatched ")" ends up here
        return root;
    }
    int Groups() const { return groups_; }

  private:
    bool AtEnd() const { return pos_ >= p_.size(); }
    char PeekByte(size_t ahead = 0) const {
        return pos_ + ahead < p_.size() ? p_[pos_ + ahead] : '\0';
    }
    int NextCode() {
        Decoded d = DecodeAt(p_, pos_);
        pos_ += size_t(d.length);
        return d.code;
    }
    int Add(Node node) {
        nodes_.push_back(std::move(node));
        return int(nodes_.size() - 1);
    }
    int AddSet(CharSet set) {
        sets_.push_back(std::move(set));
        Node n;
        n.kind = Node::Set;
        n.value = int(sets_.size() - 1);
        return Add(std::move(n));
    }
    int Fail() {
        ok_ = false;
        return -1;
    }

    int Alternation() {
        Node alt;
        alt.kind = Node::Alternate;
        alt.children.push_back(Sequence());
        while (ok_ && PeekByte() == '|' && !AtEnd()) {
            ++pos_;
            alt.children.push_back(Sequence());
        }
        if (!ok_) return -1;
        return alt.children.size() == 1 ? alt.children[0] : Add(std::move(alt));
    }

    int Sequence() {
        Node seq;
        seq.kind = Node::Concat;
        while (ok_ && !AtEnd() && PeekByte() != '|' && PeekByte() != ')') {
            int atom = Atom();
            if (!ok_) return -1;
            seq.children.push_back(Quantified(atom));
        }
        return Add(std::move(seq));
    }

    // Reads {n}, {n,} or {n,m} at the current position; false (position unchanged) otherwise.
    bool Counted(int& min, int& max) {
        size_t at = pos_ + 1;
        auto number = [&](int& out) {
            size_t start = at;
            long long v = 0;
            while (at < p_.size() && p_[at] >= '0' && p_[at] <= '9') {
                v = std::min<long long>(v * 10 + (p_[at] - '0'), MaxCount + 1);
                ++at;
            }
            out = int(v);
            return at > start;
        };
        if (!number(min)) return false;
        max = min;
        if (at < p_.size() && p_[at] == ',') {
            ++at;
            if (!number(max)) max = -1;
        }
        if (at >= p_.size() || p_[at] != '}') return false;
        pos_ = at + 1;
        return true;
    }

    int Quantified(int atom) {
        int min = 0, max = -1;
        char c = PeekByte();
        if (AtEnd()) return atom;
        if (c == '*')
            min = 0, max = -1, ++pos_;
        else if (c == '+')
            min = 1, max = -1, ++pos_;
        else if (c == '?')
            min = 0, max = 1, ++pos_;
        else if (c == '{' && Counted(min, max)) {
            if (max != -1 && min > max) return Fail();
            if (min > MaxCount || max > MaxCount) return Fail();
        } else
            return atom;
        Node::Kind kind = nodes_[size_t(atom)].kind;
        if (kind == Node::Bol || kind == Node::Eol || kind == Node::WordBoundary ||
            kind == Node::NotWordBoundary)
            return Fail(); // nothing to repeat
        Node rep;
        rep.kind = Node::Repeat;
        rep.min = min;
        rep.max = max;
        if (!AtEnd() && PeekByte() == '?') {
            rep.greedy = false;
            ++pos_;
        }
        char after = PeekByte();
        if (!AtEnd() && (after == '*' || after == '+' || after == '?')) return Fail();
        int m1 = 0, m2 = 0;
        size_t keep = pos_;
        if (!AtEnd() && after == '{' && Counted(m1, m2)) return Fail();
        pos_ = keep;
        rep.children.push_back(atom);
        return Add(std::move(rep));
    }

    int Atom() {
        char c = PeekByte();
        switch (c) {
        case '(':
            return GroupAtom();
        case '[':
            return ClassAtom();
        case '.': {
            ++pos_;
            Node n;
            n.kind = Node::Any;
            return Add(std::move(n));
        }
        case '^':
        case '$': {
            ++pos_;
            Node n;
            n.kind = c == '^' ? Node::Bol : Node::Eol;
            return Add(std::move(n));
        }
        case '\\':
            return EscapeAtom();
        case '*':
        case '+':
        case '?':
            return Fail(); // nothing to repeat
        case '{': {
            int a = 0, b = 0;
            size_t keep = pos_;
            if (Counted(a, b)) return Fail();
            pos_ = keep;
            break;
        }
        }
        Node n;
        n.kind = Node::Literal;
        n.value = NextCode();
        return Add(std::move(n));
    }

    int GroupAtom() {
        ++pos_;
        if (++depth_ > MaxNesting) return Fail();
        int number = -1;
        if (PeekByte() == '?') {
            if (PeekByte(1) != ':') return Fail(); // look-ahead and the like are not offered
            pos_ += 2;
        } else {
            number = ++groups_;
        }
        int inner = Alternation();
        if (!ok_ || AtEnd() || PeekByte() != ')') return Fail();
        ++pos_;
        --depth_;
        Node g;
        g.kind = Node::Group;
        g.value = number;
        g.children.push_back(inner);
        return Add(std::move(g));
    }

    static int HexValue(char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    }

    // \xHH and \uHHHH; -1 when the digits are not there (the letter is then taken literally).
    int HexEscape(int digits) {
        int value = 0;
        for (int k = 0; k < digits; ++k) {
            int v = HexValue(PeekByte(size_t(1 + k)));
            if (v < 0 || pos_ + size_t(1 + k) >= p_.size()) return -1;
            value = value * 16 + v;
        }
        pos_ += size_t(1 + digits);
        if (value < 0x80) return value;
        ui::Text gbk = ui::Narrow(std::wstring(1, wchar_t(value)));
        return gbk.empty() ? '?' : DecodeAt(gbk, 0).code;
    }

    // After a backslash: a single code, or -2 with `set` filled for \d \w \s and their capitals.
    int EscapeCode(bool inClass, CharSet& set) {
        if (AtEnd()) return Fail();
        char c = PeekByte();
        switch (c) {
        case 'd':
        case 'w':
        case 's':
            ++pos_;
            set = ClassOf(c);
            return -2;
        case 'D':
        case 'W':
        case 'S':
            ++pos_;
            set = {};
            AddComplement(set, ClassOf(char(c - 'A' + 'a')));
            return -2;
        case 'n':
            ++pos_;
            return '\n';
        case 'r':
            ++pos_;
            return '\r';
        case 't':
            ++pos_;
            return '\t';
        case 'f':
            ++pos_;
            return '\f';
        case 'v':
            ++pos_;
            return '\v';
        case 'b':
            if (inClass) {
                ++pos_;
                return '\b';
            }
            break;
        case 'x':
            if (int v = HexEscape(2); v >= 0) return v;
            break;
        case 'u':
            if (int v = HexEscape(4); v >= 0) return v;
            break;
        case 'c':
            if (char l = PeekByte(1); (l >= 'a' && l <= 'z') || (l >= 'A' && l <= 'Z')) {
                pos_ += 2;
                return l % 32;
            }
            break;
        case '0':
            if (PeekByte(1) < '0' || PeekByte(1) > '9') {
                ++pos_;
                return 0;
            }
            return Fail();
        }
        if (c >= '1' && c <= '9') return Fail(); // back-references need backtracking
        return NextCode();
    }

    int EscapeAtom() {
        ++pos_;
        if (!AtEnd() && (PeekByte() == 'b' || PeekByte() == 'B')) {
            Node n;
            n.kind = PeekByte() == 'b' ? Node::WordBoundary : Node::NotWordBoundary;
            ++pos_;
            return Add(std::move(n));
        }
        CharSet set;
        int code = EscapeCode(false, set);
        if (!ok_) return -1;
        if (code == -2) return AddSet(std::move(set));
        Node n;
        n.kind = Node::Literal;
        n.value = code;
        return Add(std::move(n));
    }

    // One member of a class: a code, or -2 with `set` filled.
    int ClassMember(CharSet& set) {
        if (PeekByte() == '\\') {
            ++pos_;
            return EscapeCode(true, set);
        }
        return NextCode();
    }

    int ClassAtom() {
        ++pos_;
        CharSet set;
        if (PeekByte() == '^' && !AtEnd()) {
            set.negated = true;
            ++pos_;
        }
        while (ok_) {
            if (AtEnd()) return Fail();
            if (PeekByte() == ']') {
                ++pos_;
                return AddSet(std::move(set));
            }
            CharSet part;
            int lo = ClassMember(part);
            if (!ok_) return -1;
            if (lo == -2) {
                set.ranges.insert(set.ranges.end(), part.ranges.begin(), part.ranges.end());
                continue;
            }
            if (PeekByte() == '-' && pos_ + 1 < p_.size() && p_[pos_ + 1] != ']') {
                ++pos_;
                CharSet part2;
                int hi = ClassMember(part2);
                if (!ok_) return -1;
                if (hi == -2) { // [a-\d]: the dash is literal
                    set.ranges.push_back({lo, lo});
                    set.ranges.push_back({'-', '-'});
                    set.ranges.insert(set.ranges.end(), part2.ranges.begin(), part2.ranges.end());
                    continue;
                }
                if (hi < lo) return Fail();
                set.ranges.push_back({lo, hi});
            } else {
                set.ranges.push_back({lo, lo});
            }
        }
        return -1;
    }

    const ui::Text& p_;
    std::vector<Node>& nodes_;
    std::vector<CharSet>& sets_;
    size_t pos_ = 0;
    int groups_ = 0;
    int depth_ = 0;
    bool ok_ = true;
};

// ---- Compiling the tree into a program ----

enum class Op : uint8_t { Char, Any, Set, Split, Jump, Save, Bol, Eol, WordB, NotWordB, Match };

struct Inst {
    Op op;
    int x =
        0; // Char: folded code; Set: set index; Split: preferred target; Jump: target; Save: slot
    int y = 0; // Split: the other target
};

bool Consumes(Op op) {
    return op == Op::Char || op == Op::Any || op == Op::Set;
}

class Compiler {
  public:
    Compiler(const std::vector<Node>& nodes, bool ignoreCase, std::vector<Inst>& out)
        : nodes_(nodes), ignoreCase_(ignoreCase), out_(out) {}

    bool Compile(int root) {
        Emit({Op::Save, 0});
        Node(root);
        Emit({Op::Save, 1});
        Emit({Op::Match});
        return ok_;
    }

  private:
    int Here() const { return int(out_.size()); }
    int Emit(Inst inst) {
        if (out_.size() >= MaxInstructions) {
            ok_ = false;
            return 0;
        }
        out_.push_back(inst);
        return Here() - 1;
    }
    void Patch(int at, int x, int y) {
        if (!ok_) return;
        out_[size_t(at)].x = x;
        out_[size_t(at)].y = y;
    }

    void Node(int index) {
        if (!ok_) return;
        const struct Node& n = nodes_[size_t(index)];
        switch (n.kind) {
        case Node::Empty:
            break;
        case Node::Literal:
            Emit({Op::Char, ignoreCase_ ? FoldCode(n.value) : n.value});
            break;
        case Node::Any:
            Emit({Op::Any});
            break;
        case Node::Set:
            Emit({Op::Set, n.value});
            break;
        case Node::Bol:
            Emit({Op::Bol});
            break;
        case Node::Eol:
            Emit({Op::Eol});
            break;
        case Node::WordBoundary:
            Emit({Op::WordB});
            break;
        case Node::NotWordBoundary:
            Emit({Op::NotWordB});
            break;
        case Node::Group:
            if (n.value > 0) Emit({Op::Save, 2 * n.value});
            Node(n.children[0]);
            if (n.value > 0) Emit({Op::Save, 2 * n.value + 1});
            break;
        case Node::Concat:
            for (int child : n.children)
                Node(child);
            break;
        case Node::Alternate:
            Alternate(n);
            break;
        case Node::Repeat:
            Repeat(n);
            break;
        }
    }

    void Alternate(const struct Node& n) {
        std::vector<int> jumps;
        for (size_t k = 0; k + 1 < n.children.size() && ok_; ++k) {
            int split = Emit({Op::Split});
            Node(n.children[k]);
            jumps.push_back(Emit({Op::Jump}));
            Patch(split, split + 1, Here());
        }
        Node(n.children.back());
        for (int j : jumps)
            Patch(j, Here(), 0);
    }

    // A split that prefers `first` when greedy, `second` when lazy.
    void Choose(int split, int enter, int skip, bool greedy) {
        greedy ? Patch(split, enter, skip) : Patch(split, skip, enter);
    }

    void Repeat(const struct Node& n) {
        int child = n.children[0];
        for (int k = 0; k + 1 < n.min && ok_; ++k)
            Node(child);
        if (n.max == -1) {
            if (n.min > 0) { // x+ : x then loop back
                int start = Here();
                Node(child);
                int split = Emit({Op::Split});
                Choose(split, start, split + 1, n.greedy);
            } else { // x* : split, x, jump back
                int split = Emit({Op::Split});
                Node(child);
                Emit({Op::Jump, split});
                Choose(split, split + 1, Here(), n.greedy);
            }
            return;
        }
        if (n.min > 0) Node(child);
        std::vector<int> splits;
        for (int k = n.min; k < n.max && ok_; ++k) {
            splits.push_back(Emit({Op::Split}));
            Node(child);
        }
        for (int s : splits)
            Choose(s, s + 1, Here(), n.greedy);
    }

    const std::vector<struct Node>& nodes_;
    bool ignoreCase_;
    std::vector<Inst>& out_;
    bool ok_ = true;
};

} // namespace

struct Regex::Program {
    std::vector<Inst> insts;
    std::vector<CharSet> sets;
    int groups = 0;
    bool ignoreCase = false;
    bool multiline = false;
    int slots = 2;
    std::vector<int> consumingIndex; // per instruction: its number among the consuming ones
    int consuming = 0;
    // Bytes that can begin a match; canSkip false when anything (or nothing) can.
    std::array<bool, 256> firstBytes{};
    bool canSkip = false;
};

namespace {

void AddFirstBytes(std::array<bool, 256>& bytes, int lo, int hi, bool ignoreCase) {
    for (int c = lo; c <= std::min(hi, 0xFF); ++c) {
        bytes[size_t(c)] = true;
        if (ignoreCase) bytes[size_t(OtherCase(c))] = true;
    }
    if (hi > 0xFF)
        for (int lead = std::max(lo, 0x100) >> 8; lead <= hi >> 8; ++lead)
            bytes[size_t(lead)] = true;
}

// What can be the first byte of a match, following every empty path from the start.
void FindFirstBytes(Regex::Program& p) {
    std::vector<bool> seen(p.insts.size());
    std::vector<int> stack{0};
    p.canSkip = true;
    while (!stack.empty() && p.canSkip) {
        int pc = stack.back();
        stack.pop_back();
        if (seen[size_t(pc)]) continue;
        seen[size_t(pc)] = true;
        const Inst& in = p.insts[size_t(pc)];
        switch (in.op) {
        case Op::Jump:
            stack.push_back(in.x);
            break;
        case Op::Split:
            stack.push_back(in.x);
            stack.push_back(in.y);
            break;
        case Op::Save:
        case Op::Bol:
        case Op::Eol:
        case Op::WordB:
        case Op::NotWordB:
            stack.push_back(pc + 1);
            break;
        case Op::Char:
            AddFirstBytes(p.firstBytes, in.x, in.x, p.ignoreCase);
            break;
        case Op::Set: {
            const CharSet& set = p.sets[size_t(in.x)];
            if (set.negated) p.canSkip = false;
            for (auto [lo, hi] : set.ranges)
                AddFirstBytes(p.firstBytes, lo, hi, p.ignoreCase);
            break;
        }
        case Op::Any:
        case Op::Match:
            p.canSkip = false;
            break;
        }
    }
}

// Consuming states (instruction, byte position) known to lead to no match, from earlier searches
// of the same text. A search that has found a match runs on only while higher-priority threads
// might still extend it; the states those threads reach beyond the final end never match (what
// happens from a state depends on nothing else), and the next search, which starts at that end,
// would otherwise walk them again: an iterated search would be quadratic. One bit per consuming
// instruction and byte position, for a window of positions that only moves forward.
class DeadStates {
  public:
    explicit DeadStates(const std::vector<int>& index, int consuming)
        : index_(index), bytes_(size_t(std::max(1, (consuming + 7) / 8))) {}

    bool Dead(int pc, int pos) const {
        if (pos < base_) return false;
        size_t at = size_t(pos - base_) * bytes_ + size_t(index_[size_t(pc)] / 8);
        return at < bits_.size() && (bits_[at] >> (index_[size_t(pc)] % 8) & 1);
    }
    void Record(int pc, int pos) {
        if (bits_.empty()) base_ = pos;
        if (pos < base_) return;
        size_t need = (size_t(pos - base_) + 1) * bytes_;
        if (need > MaxMemoBytes) return; // beyond this, only speed is lost
        if (bits_.size() < need) bits_.resize(need, 0);
        bits_[size_t(pos - base_) * bytes_ + size_t(index_[size_t(pc)] / 8)] |=
            uint8_t(1u << (index_[size_t(pc)] % 8));
    }
    void Clear() {
        bits_.clear();
        base_ = 0;
    }
    // Adds what `seen` holds after `end` and forgets every position up to `end`.
    void MergeAfter(int end, const DeadStates& seen) {
        if (!seen.bits_.empty()) {
            int first = std::max(end + 1, seen.base_);
            int last = seen.base_ + int(seen.bits_.size() / bytes_) - 1;
            if (first <= last && bits_.empty()) base_ = first;
            for (int pos = std::max(first, base_); pos <= last; ++pos) {
                size_t need = (size_t(pos - base_) + 1) * bytes_;
                if (need > MaxMemoBytes) break;
                if (bits_.size() < need) bits_.resize(need, 0);
                for (size_t k = 0; k < bytes_; ++k)
                    bits_[size_t(pos - base_) * bytes_ + k] |=
                        seen.bits_[size_t(pos - seen.base_) * bytes_ + k];
            }
        }
        if (end >= base_) {
            size_t drop = std::min(bits_.size(), (size_t(end - base_) + 1) * bytes_);
            bits_.erase(bits_.begin(), bits_.begin() + long(drop));
            base_ = end + 1;
        }
    }

  private:
    const std::vector<int>& index_; // consuming instruction -> bit number
    size_t bytes_;
    int base_ = 0;
    std::deque<uint8_t> bits_;
};

// The Pike VM. Threads sit in lists in priority order; each list holds an instruction at most
// once, so a step costs at most the program's size, whatever the input.
class Matcher {
  public:
    Matcher(const Regex::Program& p, const ui::Text& text)
        : p_(p), text_(text), end_(int(text.size())), marks_(p.insts.size(), 0), current_(p),
          next_(p), dead_(p.consumingIndex, p.consuming), seen_(p.consumingIndex, p.consuming),
          scratch_(size_t(p.slots)) {}

    // Finds the first match at or after `start` (a character boundary; `prev` the code of the
    // character before it, NoChar at the beginning). Fills `slots`; false when there is none.
    bool Search(int start, int prev, std::vector<int>& slots, bool remember) {
        current_.Clear();
        // Marks are not cleared between searches (that would cost the program's size per match):
        // a new generation makes them stale.
        if (generation_ > UINT32_MAX - 8) {
            marks_.assign(marks_.size(), 0);
            generation_ = 0;
        }
        ++generation_;
        seen_.Clear();
        recording_ = false;
        bool matched = false;
        int pos = start;
        for (;;) {
            if (!matched && current_.size == 0 && p_.canSkip) {
                ++generation_; // the marks belong to the position the skip leaves
                while (pos < end_ && !p_.firstBytes[(unsigned char)text_[size_t(pos)]]) {
                    Decoded d = DecodeAt(text_, size_t(pos));
                    prev = d.code;
                    pos += d.length;
                }
                if (pos >= end_) break;
            }
            Decoded here = pos < end_ ? DecodeAt(text_, size_t(pos)) : Decoded{NoChar, 0};
            Context at{pos, prev, here.code};
            if (!matched) {
                std::fill(scratch_.begin(), scratch_.end(), -1);
                AddThread(current_, 0, at, scratch_.data());
            }
            if (current_.size == 0) {
                // Nothing alive: done once a match is found, else try the next position.
                if (matched || pos >= end_) break;
                ++generation_;
                prev = here.code;
                pos += here.length;
                continue;
            }
            ++generation_;
            next_.Clear();
            Context after{pos + here.length, here.code,
                          pos + here.length < end_ ? DecodeAt(text_, size_t(pos + here.length)).code
                                                   : NoChar};
            for (size_t t = 0; t < current_.size; ++t) {
                int pc = current_.pcs[t];
                int* threadSlots = current_.Slots(t);
                const Inst& in = p_.insts[size_t(pc)];
                if (in.op == Op::Match) {
                    slots.assign(threadSlots, threadSlots + p_.slots);
                    matched = true;
                    recording_ = remember;
                    break; // threads of lower priority are cut
                }
                if (here.code != NoChar && Accepts(in, here.code))
                    AddThread(next_, pc + 1, after, threadSlots);
            }
            if (pos >= end_) break;
            std::swap(current_, next_);
            prev = here.code;
            pos += here.length;
        }
        if (matched && remember) dead_.MergeAfter(slots[1], seen_);
        return matched;
    }

  private:
    struct Context {
        int pos, prev, cur;
    };

    struct List {
        explicit List(const Regex::Program& p) : width(size_t(p.slots)) {
            size_t threads = 0;
            for (const Inst& in : p.insts)
                threads += Consumes(in.op) || in.op == Op::Match;
            pcs.resize(threads);
            slots.resize(threads * width);
        }
        void Clear() { size = 0; }
        int* Slots(size_t t) { return slots.data() + t * width; }
        int* Add(int pc) {
            pcs[size] = pc;
            return Slots(size++);
        }
        size_t width;
        std::vector<int> pcs;
        std::vector<int> slots;
        size_t size = 0;
    };

    bool Accepts(const Inst& in, int code) const {
        switch (in.op) {
        case Op::Char:
            return (p_.ignoreCase ? FoldCode(code) : code) == in.x;
        case Op::Any:
            return code != '\n';
        case Op::Set:
            return p_.sets[size_t(in.x)].Contains(code, p_.ignoreCase);
        default:
            return false;
        }
    }

    bool Holds(Op op, const Context& at) const {
        switch (op) {
        case Op::Bol:
            return at.prev == NoChar || (p_.multiline && IsLineEnd(at.prev));
        case Op::Eol:
            return at.cur == NoChar || (p_.multiline && IsLineEnd(at.cur));
        case Op::WordB:
            return IsWordCode(at.prev) != IsWordCode(at.cur);
        case Op::NotWordB:
            return IsWordCode(at.prev) == IsWordCode(at.cur);
        default:
            return true;
        }
    }

    // Follows every empty path from pc in priority order and adds the consuming (or matching)
    // states reached. `slots` is changed on the way and restored before returning.
    void AddThread(List& list, int pc0, const Context& at, int* slots) {
        stack_.clear();
        stack_.push_back({pc0, -1, 0});
        while (!stack_.empty()) {
            Frame f = stack_.back();
            stack_.pop_back();
            if (f.slot >= 0) {
                slots[f.slot] = f.old;
                continue;
            }
            for (int pc = f.pc;;) {
                if (marks_[size_t(pc)] == generation_) break;
                marks_[size_t(pc)] = generation_;
                const Inst& in = p_.insts[size_t(pc)];
                if (in.op == Op::Jump) {
                    pc = in.x;
                } else if (in.op == Op::Split) {
                    stack_.push_back({in.y, -1, 0});
                    pc = in.x;
                } else if (in.op == Op::Save) {
                    stack_.push_back({0, in.x, slots[in.x]});
                    slots[in.x] = at.pos;
                    ++pc;
                } else if (in.op == Op::Match || Consumes(in.op)) {
                    if (in.op != Op::Match && dead_.Dead(pc, at.pos)) break;
                    if (recording_ && in.op != Op::Match) seen_.Record(pc, at.pos);
                    std::copy(slots, slots + p_.slots, list.Add(pc));
                    break;
                } else if (Holds(in.op, at)) {
                    ++pc;
                } else {
                    break;
                }
            }
        }
    }

    const Regex::Program& p_;
    const ui::Text& text_;
    int end_;
    std::vector<uint32_t> marks_;
    uint32_t generation_ = 1;
    List current_, next_;
    DeadStates dead_, seen_;
    bool recording_ = false;
    std::vector<int> scratch_;
    struct Frame {
        int pc, slot, old; // slot >= 0: a capture slot to restore
    };
    std::vector<Frame> stack_;
};

} // namespace

Regex::Regex(const ui::Text& pattern, bool ignoreCase, bool multiline) {
    auto program = std::make_shared<Program>();
    std::vector<Node> nodes;
    Parser parser(pattern, nodes, program->sets);
    int root = parser.Parse();
    if (root < 0) return;
    program->groups = parser.Groups();
    program->ignoreCase = ignoreCase;
    program->multiline = multiline;
    program->slots = 2 * (program->groups + 1);
    if (!Compiler(nodes, ignoreCase, program->insts).Compile(root)) return;
    size_t threads = 0;
    for (const Inst& in : program->insts) {
        program->consumingIndex.push_back(Consumes(in.op) ? program->consuming++ : -1);
        threads += Consumes(in.op) || in.op == Op::Match;
    }
    if (threads * size_t(program->slots) > MaxThreadSlots) return;
    FindFirstBytes(*program);
    program_ = std::move(program);
}

int Regex::GroupCount() const {
    return program_ ? program_->groups : 0;
}

std::vector<int> Regex::Find(const ui::Text& text, bool global) const {
    std::vector<int> all;
    if (!program_ || text.size() > size_t(INT_MAX / 2)) return all;
    Matcher matcher(*program_, text);
    std::vector<int> slots;
    int start = 0, prev = NoChar;
    const int end = int(text.size());
    while (start <= end && matcher.Search(start, prev, slots, global)) {
        all.insert(all.end(), slots.begin(), slots.end());
        if (!global) break;
        // The next search starts at the match's end, one character further after an empty match.
        int next = slots[1];
        for (int pos = start; pos < next;) {
            Decoded d = DecodeAt(text, size_t(pos));
            prev = d.code;
            pos += d.length;
        }
        if (next == slots[0]) {
            if (next >= end) break;
            Decoded d = DecodeAt(text, size_t(next));
            prev = d.code;
            next += d.length;
        }
        start = next;
    }
    return all;
}

ui::Text Regex::Replace(const ui::Text& text, const ui::Text& replacement, bool global) const {
    std::vector<int> found = Find(text, global);
    if (found.empty()) return text;
    const size_t width = size_t(program_->slots);
    ui::Text out;
    size_t copied = 0;
    for (size_t m = 0; m < found.size(); m += width) {
        const int* s = found.data() + m;
        auto group = [&](int g) {
            return s[2 * g] < 0 ? ui::Text()
                                : text.substr(size_t(s[2 * g]), size_t(s[2 * g + 1] - s[2 * g]));
        };
        out.append(text, copied, size_t(s[0]) - copied);
        for (size_t i = 0; i < replacement.size(); ++i) {
            char c = replacement[i];
            if (ui::IsLeadByte((unsigned char)c) && i + 1 < replacement.size()) {
                out.append(replacement, i++, 2);
                continue;
            }
            char d = i + 1 < replacement.size() ? replacement[i + 1] : '\0';
            if (c != '$' || !d) {
                out += c;
            } else if (d == '$') {
                out += '$', ++i;
            } else if (d == '&') {
                out += group(0), ++i;
            } else if (d == '`') {
                out.append(text, 0, size_t(s[0])), ++i;
            } else if (d == '\'') {
                out.append(text, size_t(s[1])), ++i;
            } else if (d >= '0' && d <= '9') {
                int one = d - '0';
                char e = i + 2 < replacement.size() ? replacement[i + 2] : '\0';
                int two = e >= '0' && e <= '9' ? one * 10 + (e - '0') : -1;
                if (two >= 1 && two <= program_->groups)
                    out += group(two), i += 2;
                else if (one >= 1 && one <= program_->groups)
                    out += group(one), ++i;
                else
                    out += c;
            } else {
                out += c;
            }
        }
        copied = size_t(s[1]);
    }
    out.append(text, copied);
    return out;
}

} // namespace net::fallback
