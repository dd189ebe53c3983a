// Regular expressions through the scripting engine's automation class "VBScript.RegExp", driven by
// name. Where Windows lacks the class, a built-in engine with the same names stands in for it.
#pragma once
#include <cstdint>
#include <optional>

#include "ui/Types.h"

struct IDispatch;

namespace net {

// A counted reference to an automation object; a copy holds its own reference to the same one.
class DispatchRef {
  public:
    DispatchRef() = default;
    explicit DispatchRef(IDispatch* owned) : object_(owned) {} // takes over one reference
    DispatchRef(const DispatchRef& other);
    DispatchRef& operator=(const DispatchRef& other);
    ~DispatchRef();
    IDispatch* get() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    void Reset();

  private:
    IDispatch* object_ = nullptr;
};

// One engine and the matches of its last search. Match and group numbers count from 1. A failed
// automation call never raises anything: it gives the empty text or 0.
struct RegexObject {
    DispatchRef engine;
    DispatchRef matches;
    int32_t matchCount = 0;

    // A flag not given counts as true.
    bool Create(const ui::Text& pattern, std::optional<bool> ignoreCase = std::nullopt,
                std::optional<bool> multiline = std::nullopt,
                std::optional<bool> global = std::nullopt);
    ui::Text GetPattern() const;
    ui::Text Replace(const ui::Text& source, const ui::Text& replacement) const;
    int32_t Execute(const ui::Text& text);
    int32_t MatchCount() const { return matchCount; }
    ui::Text MatchText(int32_t match) const;
    ui::Text SubMatchText(int32_t match, int32_t group) const;
    int32_t SubMatchCount() const; // of the first match
};

// For tests: Create uses the built-in engine as if "VBScript.RegExp" were missing.
void ForceRegexFallback(bool force);

} // namespace net
