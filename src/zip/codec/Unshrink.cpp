#include "zip/codec/Unshrink.h"

#include <array>
#include <new>

namespace {

constexpr unsigned kMinBits = 9;
constexpr unsigned kMaxBits = 13;
constexpr unsigned kCodeLimit = 1u << kMaxBits;  // codes are below 8,192
constexpr unsigned kControl = 256;
constexpr unsigned kFirstFree = 257;
constexpr uint16_t kFree = 0xFFFF;
constexpr unsigned kStackSize = 8192;

// Lives in the stages' scratch area (prefix 16,386 + suffix 8,193 + stack
// 8,192 bytes). A prefix is always a code below 8,192; 0xFFFF marks a free
// code.
struct TShrinkTables {
    uint16_t prefix[kCodeLimit + 1];
    uint8_t suffix[kCodeLimit + 1];
    uint8_t stack[kStackSize];
};
static_assert(sizeof(TShrinkTables) <= TEntryStages::kScratchSize);

struct TShrinkState {
    TEntryStages& stages;
    TShrinkTables& t;
    unsigned codeSize = kMinBits;
    unsigned nextFree = kFirstFree;
    unsigned oldCode = 0;
    uint8_t finalByte = 0;
    std::array<uint8_t, kCodeLimit> isPrefix{};  // partial clear's work area
};

// Codes 0 to 255 stand for their byte; all others start free.
void InitTables(TShrinkTables& t) {
    for (unsigned code = 0; code <= kCodeLimit; ++code) {
        t.prefix[code] = code < kControl ? 0 : kFree;
        t.suffix[code] = static_cast<uint8_t>(code < kControl ? code : 0);
    }
}

// The first free code from `code` on, or the code limit when none is.
unsigned NextFreeFrom(const TShrinkTables& t, unsigned code) {
    while (code < kCodeLimit && t.prefix[code] != kFree) {
        ++code;
    }
    return code;
}

// Frees every code that no other code uses as its prefix (the leaves).
// Format note: the whole table takes part, not only the codes below the
// next free one; codes above a hole can be in use after an earlier clear.
void PartialClear(TShrinkState& s) {
    const uint16_t* prefix = s.t.prefix;
    s.isPrefix.fill(0);
    for (unsigned code = kFirstFree; code < kCodeLimit; ++code) {
        if (prefix[code] != kFree && prefix[code] < kCodeLimit) {
            s.isPrefix[prefix[code]] = 1;
        }
    }
    for (unsigned code = kFirstFree; code < kCodeLimit; ++code) {
        if (s.isPrefix[code] == 0) {
            s.t.prefix[code] = kFree;
        }
    }
    s.nextFree = NextFreeFrom(s.t, kFirstFree);
}

// Handles the code after a control code. Returns false for a widening past
// 13 bits, which this format never produces.
bool Control(TShrinkState& s, unsigned subCode) {
    if (subCode == 1) {
        if (s.codeSize >= kMaxBits) {
            return false;
        }
        ++s.codeSize;
    } else if (subCode == 2) {
        PartialClear(s);
    }
    return true;
}

// Pushes the string of `code` onto the stack, last byte first, and returns
// the stack index of its first byte, or -1 when the string does not fit.
// Format note: a code not yet defined is the one about to be defined (the
// old string plus its own first byte), so the final byte goes first and
// decoding continues with the old code.
int DecodeString(TShrinkState& s, unsigned code) {
    unsigned sp = kStackSize;
    while (code >= kFirstFree) {
        if (sp == 0) {
            return -1;
        }
        if (s.t.prefix[code] == kFree) {
            s.t.stack[--sp] = s.finalByte;
            code = s.oldCode;
        } else {
            s.t.stack[--sp] = s.t.suffix[code];
            code = s.t.prefix[code];
        }
    }
    if (sp == 0) {
        return -1;
    }
    s.finalByte = s.t.suffix[code];
    s.t.stack[--sp] = s.finalByte;
    return static_cast<int>(sp);
}

// Defines the next free code as the old string plus the final byte.
void AddCode(TShrinkState& s) {
    if (s.nextFree < kCodeLimit) {
        s.t.prefix[s.nextFree] = static_cast<uint16_t>(s.oldCode);
        s.t.suffix[s.nextFree] = s.finalByte;
        s.nextFree = NextFreeFrom(s.t, s.nextFree + 1);
    }
}

// Decodes codes until the input ends or the data proves corrupt.
TDecodeResult DecodeCodes(TShrinkState& s) {
    for (;;) {
        const unsigned code = s.stages.ReadBits(s.codeSize);
        if (s.stages.EndOfInput()) {
            return TDecodeResult::Complete;
        }
        if (code == kControl) {
            const unsigned subCode = s.stages.ReadBits(s.codeSize);
            if (s.stages.EndOfInput()) {
                return TDecodeResult::Complete;
            }
            if (!Control(s, subCode)) {
                return TDecodeResult::Corrupt;
            }
            continue;
        }
        const int start = DecodeString(s, code);
        if (start < 0) {
            return TDecodeResult::Corrupt;
        }
        s.stages.PutBytes(s.t.stack + start, kStackSize - static_cast<unsigned>(start));
        AddCode(s);
        s.oldCode = code;
    }
}

}  // namespace

TDecodeResult UnShrink(TEntryStages& stages) {
    auto* tables = new (stages.Scratch()) TShrinkTables;
    InitTables(*tables);
    TShrinkState s{stages, *tables};
    TDecodeResult result = TDecodeResult::Complete;
    const unsigned first = stages.ReadBits(kMinBits);
    if (!stages.EndOfInput()) {
        if (first < kControl) {
            s.oldCode = first;
            s.finalByte = static_cast<uint8_t>(first);
            stages.PutByte(s.finalByte);
            result = DecodeCodes(s);
        } else {
            result = TDecodeResult::Corrupt;
        }
    }
    stages.Flush();
    return result;
}
