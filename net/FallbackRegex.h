// The regular-expression engine that stands in for "VBScript.RegExp" where Windows lacks it
// (VBScript is an optional feature being retired). It works on GBK text, a double-byte character
// being one character, and runs in time linear in the input: a Pike VM (a Thompson NFA simulation
// with capture slots) whose threads keep leftmost-first priority, so lazy and greedy quantifiers
// mean what they mean in the scripting engine. Supported: literals, escapes (\d \w \s and their
// capitals, \b \B, \n \r \t \f \v \xHH \uHHHH), ".", classes, groups ((...) and (?:...)),
// alternation, * + ? {n} {n,} {n,m} with their lazy forms, ^ $. Back-references and look-ahead
// are not, and make the pattern invalid; an invalid pattern matches nothing. Ignore case folds
// ASCII letters only.
#pragma once
#include <memory>
#include <vector>

#include "ui/Types.h"

struct IDispatch;

namespace net::fallback {

class Regex {
  public:
    Regex(const ui::Text& pattern, bool ignoreCase, bool multiline);
    bool Valid() const { return program_ != nullptr; }
    int GroupCount() const;

    // Every match (global) or the first: per match 2 * (GroupCount() + 1) byte offsets, begin and
    // end of the whole match and then of each group; -1 for a group that took no part.
    std::vector<int> Find(const ui::Text& text, bool global) const;
    // $& the match, $` before it, $' after it, $n / $nn a group, $$ a dollar sign.
    ui::Text Replace(const ui::Text& text, const ui::Text& replacement, bool global) const;

    struct Program;

  private:
    std::shared_ptr<const Program> program_;
};

// A new automation object answering to the names of "VBScript.RegExp" (IgnoreCase, Multiline,
// Global, Pattern, Execute, Replace, Test) and of its match collections; reference count 1.
IDispatch* CreateAutomationObject();

} // namespace net::fallback
