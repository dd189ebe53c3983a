// Random bytes and random URL-like text through URL splitting and reply decoding: no crash, no
// exception, and no read past the end of any buffer.
//
// The functions take std::string and make their own copies and conversion buffers, so guarding the
// caller's input alone would prove little. Instead, while a function runs, every heap block of this
// process is placed flush against a no-access page: the input, and every copy, substring and UTF-16
// buffer made inside. The input's string object itself sits against such a page too, so a short
// input, whose bytes live in a small buffer at the object's end, is covered as well. A read past
// the end of any of these faults; a vectored handler counts the fault, opens the page so the read
// completes, and the case fails naming the function and the input. (A string grown by appending
// may own a little room beyond its text; a read into that room cannot crash and is not seen.)
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <random>
#include <string>
#include <vector>
#include <windows.h>

#include "net/Decode.h"
#include "net/Url.h"
#include "ui/Text.h"

namespace guard {
namespace {

constexpr size_t Page = 4096;
constexpr size_t SlotBytes = 64 * 1024; // larger blocks get a region of their own
constexpr size_t SlotStride = SlotBytes + Page;
constexpr int SlotCount = 64;
constexpr int LargeCount = 64;
constexpr int MaxOpened = 64;

struct Large {
    char* base;
    size_t pages; // readable pages; the guard page follows
};

char* slots = nullptr;
int freeSlots[SlotCount];
int freeCount = 0;
Large large[LargeCount];
bool active = false;
char* opened[MaxOpened];
int openedCount = 0;
volatile LONG faults = 0;

bool InSlots(const char* p) {
    return slots && p >= slots && p < slots + SlotCount * SlotStride;
}

char* AllocateLarge(size_t n) {
    for (Large& l : large) {
        if (l.base) continue;
        size_t pages = (n + Page - 1) / Page;
        auto* base = static_cast<char*>(
            VirtualAlloc(nullptr, (pages + 1) * Page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        if (!base || !VirtualProtect(base + pages * Page, Page, PAGE_NOACCESS, &old))
            return nullptr;
        l = {base, pages};
        return base + pages * Page - n;
    }
    return nullptr;
}

// The first byte of the guard page that holds `address`, or null when it is in none of ours.
char* GuardPageAt(char* address) {
    if (InSlots(address)) {
        size_t offset = size_t(address - slots) % SlotStride;
        return offset >= SlotBytes ? address - (offset - SlotBytes) : nullptr;
    }
    for (const Large& l : large)
        if (l.base && address >= l.base + l.pages * Page && address < l.base + (l.pages + 1) * Page)
            return l.base + l.pages * Page;
    return nullptr;
}

LONG CALLBACK OpenGuardPage(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD& r = *info->ExceptionRecord;
    if (r.ExceptionCode != EXCEPTION_ACCESS_VIOLATION || r.NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    char* page = GuardPageAt(reinterpret_cast<char*>(r.ExceptionInformation[1]));
    DWORD old;
    if (!page || openedCount == MaxOpened || !VirtualProtect(page, Page, PAGE_READWRITE, &old))
        return EXCEPTION_CONTINUE_SEARCH;
    opened[openedCount++] = page;
    InterlockedIncrement(&faults);
    return EXCEPTION_CONTINUE_EXECUTION;
}

} // namespace

void Install() {
    if (slots) return;
    slots = static_cast<char*>(
        VirtualAlloc(nullptr, SlotCount * SlotStride, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    if (!slots) return;
    for (int s = 0; s < SlotCount; ++s) {
        DWORD old;
        VirtualProtect(slots + s * SlotStride + SlotBytes, Page, PAGE_NOACCESS, &old);
        freeSlots[freeCount++] = SlotCount - 1 - s;
    }
    AddVectoredExceptionHandler(1, OpenGuardPage);
}

bool Installed() {
    return slots != nullptr;
}

// A block of exactly n bytes ending where a no-access page begins.
void* Allocate(size_t n) {
    if (n <= SlotBytes && freeCount > 0) {
        int s = freeSlots[--freeCount];
        return slots + s * SlotStride + SlotBytes - n;
    }
    return AllocateLarge(n);
}

bool Release(void* p) {
    auto* c = static_cast<char*>(p);
    if (InSlots(c)) {
        freeSlots[freeCount++] = int(size_t(c - slots) / SlotStride);
        return true;
    }
    for (Large& l : large)
        if (l.base && c >= l.base && c < l.base + l.pages * Page) {
            VirtualFree(l.base, 0, MEM_RELEASE);
            l = {};
            return true;
        }
    return false;
}

bool Active() {
    return active;
}

// Reads past the end since the last call; the pages opened for them are closed again.
int TakeFaults() {
    for (int i = 0; i < openedCount; ++i) {
        DWORD old;
        VirtualProtect(opened[i], Page, PAGE_NOACCESS, &old);
    }
    openedCount = 0;
    return int(InterlockedExchange(&faults, 0));
}

// Every allocation made while one of these lives is guarded.
struct Scope {
    Scope() { active = true; }
    ~Scope() { active = false; }
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
};

} // namespace guard

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t n) {
    if (void* p = guard::Active() ? guard::Allocate(n) : std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    if (p && !guard::Release(p)) std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}

namespace {

// A copy of the input whose string object ends at a guard page (its bytes live there when it is
// short) and whose heap buffer, when it has one, holds exactly the bytes and the terminator.
class GuardedText {
  public:
    explicit GuardedText(const std::string& bytes) {
        guard::Scope scope;
        text_ = new (guard::Allocate(sizeof(ui::Text))) ui::Text(bytes);
    }
    ~GuardedText() {
        text_->~basic_string();
        guard::Release(text_);
    }
    GuardedText(const GuardedText&) = delete;
    GuardedText& operator=(const GuardedText&) = delete;
    const ui::Text& operator*() const { return *text_; }

  private:
    ui::Text* text_;
};

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes.size() && i < 200; ++i) {
        unsigned char c = (unsigned char)bytes[i];
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += char(c);
        } else {
            out += "\\x";
            out += digits[c >> 4];
            out += digits[c & 15];
        }
    }
    return bytes.size() > 200 ? out + "... (" + std::to_string(bytes.size()) + " bytes)" : out;
}

class Fuzz : public testing::Test {
  protected:
    static void SetUpTestSuite() { guard::Install(); }
    void SetUp() override {
        ASSERT_TRUE(guard::Installed());
        guard::TakeFaults();
    }

    // Runs one function under the guard; false (and a failure naming the input) on a fault.
    template <typename Result, typename Function>
    bool Run(const char* name, const std::string& input, Result& result, Function function) {
        std::string error;
        {
            GuardedText text(input);
            guard::Scope scope;
            try {
                result = function(*text);
            } catch (const std::exception& e) {
                error = std::string("threw ") + e.what();
            }
        }
        if (guard::TakeFaults() > 0) error += "read past the end";
        if (error.empty()) return true;
        ADD_FAILURE() << name << " " << error << " on \"" << Hex(input) << "\"";
        return false;
    }

    // All six functions on one input, with what holds for every input whatever its bytes.
    void Check(const std::string& input) {
        ui::Text host, path, decoded, fromUtf8, fromUtf16;
        int port = 0;
        if (!Run("UrlHost", input, host, net::UrlHost) ||
            !Run("UrlPort", input, port, net::UrlPort) ||
            !Run("UrlPath", input, path, net::UrlPath) ||
            !Run("UrlDecodeUtf8", input, decoded, net::UrlDecodeUtf8) ||
            !Run("Utf8ToAnsi", input, fromUtf8, net::Utf8ToAnsi) ||
            !Run("Utf16ToAnsi", input, fromUtf16, net::Utf16ToAnsi)) {
            ++failures;
            return;
        }
        bool ok = true;
        auto expect = [&](bool holds, const char* what) {
            if (holds) return;
            ok = false;
            ADD_FAILURE() << what << " on \"" << Hex(input) << "\"";
        };
        expect(!path.empty() && path[0] == '/', "the path begins with \"/\"");
        expect(host == ui::LowerAscii(host), "the host is in lower case");
        for (const ui::Text* out : {&decoded, &fromUtf8, &fromUtf16}) {
            expect(out->find('\0') == ui::Text::npos, "decoded text holds no zero byte");
            expect(ui::Narrow(ui::Widen(*out)) == *out, "decoded text is whole GBK characters");
        }
        expect(decoded.size() <= 2 * input.size(), "decoding at most doubles the bytes");
        if (input.find('%') == std::string::npos)
            expect(decoded == fromUtf8, "without escapes, decoding is the UTF-8 conversion");
        if (!ok) ++failures;
    }

    int failures = 0;
    static constexpr int MaxFailures = 10;
};

// Pieces of text written one after another, each ending in "|".
std::vector<std::string> Pieces(const char* list) {
    std::vector<std::string> pieces;
    for (const char* p = list; *p; ++p) {
        const char* end = std::strchr(p, '|');
        pieces.emplace_back(p, end);
        p = end;
    }
    return pieces;
}

const std::string& Pick(std::mt19937& random, const std::vector<std::string>& pieces) {
    return pieces[random() % pieces.size()];
}

// Mostly short, sometimes a few kilobytes (a conversion buffer then needs a page or more).
std::string RandomBytes(std::mt19937& random) {
    size_t length = random() % 8 == 0 ? random() % 4096 : random() % 64;
    std::string bytes(length, '\0');
    for (char& c : bytes)
        c = char(random());
    return bytes;
}

// Pieces of URLs and of what breaks them: odd schemes, ports beyond int, full-width digits and
// blanks, escapes cut short, lone lead bytes, zero bytes; sometimes cut at a random point.
std::string RandomUrl(std::mt19937& random) {
    static const auto schemes = Pieces("http://|HTTP://|Http://|http:/|http:|http|ftp://|//|||");
    static const auto hostParts =
        Pieces("lumeno|EXAMPLE|.|-|127.0.0.1|你|\xB1|\x81|%|@|[::1]|a|Z|:|\xA3\xBA|");
    static const auto ports = Pieces("|:|:80|:8080|:65535|:99999999999999999999|"
                                     ":-99999999999999999999|:1e308|:1e999|:-1|:+7|:.5|: 81|"
                                     ":\xA3\xB1\xA3\xB2|:\xA1\xA1\xA3\xAD\xA3\xB3|:0x1F|:1..2|::|");
    static const auto pathParts = Pieces("/|//|?|=|&|#|%|%4|%41|%E4%BD%A0|a|你|\x81|\xFF|%00|%zz|"
                                         "%%|%E4%BD|/api/mobile.php?m=13800138000&t=html|");
    std::string url = Pick(random, schemes);
    for (int n = int(random() % 4); n > 0; --n)
        url += Pick(random, hostParts);
    url += Pick(random, ports);
    for (int n = int(random() % 6); n > 0; --n)
        url += Pick(random, pathParts);
    if (random() % 16 == 0) url.insert(random() % (url.size() + 1), 1, '\0');
    if (random() % 4 == 0) url.resize(random() % (url.size() + 1));
    return url;
}

// One byte at base + offset, read through an address the compiler cannot bound.
__attribute__((noinline)) char ReadByte(const void* base, size_t offset) {
    return *reinterpret_cast<const volatile char*>(reinterpret_cast<uintptr_t>(base) + offset);
}

} // namespace

// The guard itself: a read of the byte after the terminator faults, for a heap string, a short
// string held in its object, and a wide buffer; reading up to the terminator does not.
TEST_F(Fuzz, GuardCatchesAReadOneBytePastTheEnd) {
    struct Case {
        std::string bytes;
        size_t lastReadable; // the terminator of a heap string; the object's end for a short one
    } cases[] = {{std::string(40, 'a'), 40}, {"abc", 15}, {"", 15}};
    for (const Case& c : cases) {
        GuardedText text(c.bytes);
        ReadByte((*text).data(), c.lastReadable);
        EXPECT_EQ(guard::TakeFaults(), 0) << c.bytes.size();
        ReadByte((*text).data(), c.lastReadable + 1);
        EXPECT_EQ(guard::TakeFaults(), 1) << c.bytes.size();
    }
    std::vector<wchar_t>* wide;
    {
        guard::Scope scope;
        wide = new std::vector<wchar_t>(7, L'x');
    }
    ReadByte(wide->data(), 13);
    EXPECT_EQ(guard::TakeFaults(), 0);
    ReadByte(wide->data(), 14);
    EXPECT_EQ(guard::TakeFaults(), 1);
    delete wide;
}

// The harness the fuzz runs through flags a function that reads one byte too far, in a copy it
// makes or in a short input, and one that throws.
TEST_F(Fuzz, HarnessFlagsFaultyFunctions) {
    struct Case {
        const char* what;
        std::string input;
        std::function<size_t(const ui::Text&)> function;
        const char* flagged;
    } cases[] = {
        {"past its own copy", std::string(30, 'a'),
         [](const ui::Text& t) {
             ui::Text copy = t;
             return size_t(ReadByte(copy.data(), copy.size() + 1));
         },
         "read past the end"},
        {"past a short input", "abc",
         [](const ui::Text& t) { return size_t(ReadByte(t.data(), 16)); }, "read past the end"},
        {"out of range", "abc", [](const ui::Text& t) { return t.substr(4).size(); }, "threw"},
    };
    for (const Case& c : cases) {
        testing::TestPartResultArray flagged;
        size_t result = 0;
        {
            testing::ScopedFakeTestPartResultReporter reporter(
                testing::ScopedFakeTestPartResultReporter::INTERCEPT_ONLY_CURRENT_THREAD, &flagged);
            Run(c.what, c.input, result, c.function);
        }
        ASSERT_EQ(flagged.size(), 1) << c.what;
        EXPECT_NE(std::string(flagged.GetTestPartResult(0).message()).find(c.flagged),
                  std::string::npos)
            << c.what;
    }
}

TEST_F(Fuzz, RandomBytes) {
    std::mt19937 random(20240607);
    for (int n = 0; n < 100000 && failures < MaxFailures; ++n)
        Check(RandomBytes(random));
}

TEST_F(Fuzz, RandomUrlLikeText) {
    std::mt19937 random(4711);
    for (int n = 0; n < 100000 && failures < MaxFailures; ++n)
        Check(RandomUrl(random));
}

// URLs whose parts are known: each comes apart into exactly those parts.
TEST_F(Fuzz, WellFormedUrlsComeApartIntoTheirParts) {
    std::mt19937 random(1234);
    static const auto labels = Pieces("lumeno|Example|COM|cn|127|0|a-b|x9|");
    static const auto pathParts =
        Pieces("/|api|mobile.php|?m=|13800138000|&t=html|%E4%BD%A0|/index.html|#top|");
    for (int n = 0; n < 20000 && failures < MaxFailures; ++n) {
        std::string host = Pick(random, labels);
        for (int k = int(random() % 3); k > 0; --k)
            host += "." + Pick(random, labels);
        int port = random() % 3 == 0 ? int(random() % 65536) : -1;
        std::string path;
        if (random() % 4 != 0) {
            path = "/";
            for (int k = int(random() % 5); k > 0; --k)
                path += Pick(random, pathParts);
        }
        const std::string url =
            "http://" + host + (port >= 0 ? ":" + std::to_string(port) : "") + path;
        ui::Text gotHost, gotPath;
        int gotPort = 0;
        if (!Run("UrlHost", url, gotHost, net::UrlHost) ||
            !Run("UrlPort", url, gotPort, net::UrlPort) ||
            !Run("UrlPath", url, gotPath, net::UrlPath)) {
            ++failures;
            continue;
        }
        if (gotHost != ui::LowerAscii(host) || gotPort != (port >= 0 ? port : 80) ||
            gotPath != (path.empty() ? "/" : path)) {
            ++failures;
            ADD_FAILURE() << url << " gave " << gotHost << " " << gotPort << " " << gotPath;
        }
    }
}
