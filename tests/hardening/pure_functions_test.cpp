// Seeded random checks of the band's pure functions against references
// written here in another way: bounded formatting, the style parse, the
// companion's placement and the icon square.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <vector>

#include "band/settings.h"
#include "hardening/hardening.h"
#include "hardening/registry_values.h"
#include "server/format.h"
#include "window/companion_placement.h"
#include "window/icon_layout.h"

namespace hardening {
namespace {

constexpr HRESULT kInsufficientBuffer = static_cast<HRESULT>(0x8007007A);

std::wstring RandomLiteral(Rng& rng, size_t maxLength) {
    static const wchar_t kChars[] = L"abcXYZ /-_:.,0123456789\x00E9\x4E2D";
    std::wstring text;
    const size_t n = rng.OneIn(3) ? 0 : rng.Below(static_cast<uint32_t>(maxLength + 1));
    for (size_t i = 0; i < n; ++i) {
        text.push_back(kChars[rng.Below(sizeof(kChars) / sizeof(wchar_t) - 1)]);
    }
    return text;
}

int32_t RandomInt(Rng& rng) {
    static const int32_t kEdges[] = {0, 1, -1, INT_MAX, INT_MIN, 42, -558, 1000000};
    return rng.OneIn(3) ? kEdges[rng.Below(8)] : rng.Int32();
}

// A buffer with fenced areas on both sides of the capacity given.
struct FencedBuffer {
    static constexpr size_t kFence = 16;
    static constexpr wchar_t kMark = 0xFDFD;
    std::vector<wchar_t> all;
    size_t capacity;
    explicit FencedBuffer(size_t cap) : all(cap + 2 * kFence, kMark), capacity(cap) {}
    wchar_t* Data() { return all.data() + kFence; }
    bool FencesIntact() const {
        for (size_t i = 0; i < kFence; ++i) {
            if (all[i] != kMark || all[kFence + capacity + i] != kMark) {
                return false;
            }
        }
        return true;
    }
};

TEST(PureFunctions, FormatToBufferMatchesItsReferenceAndStaysInBounds) {
    Rng rng = Rng::ForTest("PureFunctions.FormatToBuffer");
    uint64_t fits = 0;
    uint64_t cut = 0;
    Budget budget(20000, 30000);
    while (budget.More()) {
        // Three numbers and a string, in this order, between random literals
        // (percent signs included), or the companion's own command line.
        const int32_t a = RandomInt(rng), b = RandomInt(rng), c = RandomInt(rng);
        const std::wstring s = RandomLiteral(rng, 40);
        std::wstring format;
        std::wstring expected;
        const bool fCompanion = rng.OneIn(4);
        std::wstring lits[5];
        for (std::wstring& lit : lits) {
            lit = RandomLiteral(rng, rng.OneIn(10) ? 300 : 12);
            if (rng.OneIn(4)) {
                lit += L"%%";
            }
        }
        auto literal = [&](const std::wstring& lit) {
            format += lit;
            std::wstring shown = lit;
            for (size_t at = shown.find(L"%%"); at != std::wstring::npos;
                 at = shown.find(L"%%", at + 1)) {
                shown.erase(at, 1);
            }
            expected += shown;
        };
        if (fCompanion) {
            format = L"/DISPLAYUI %d %d %d";
            expected = L"/DISPLAYUI " + std::to_wstring(a) + L" " + std::to_wstring(b) + L" " +
                       std::to_wstring(c);
        } else {
            literal(lits[0]);
            format += L"%d";
            expected += std::to_wstring(a);
            literal(lits[1]);
            format += L"%d";
            expected += std::to_wstring(b);
            literal(lits[2]);
            format += L"%ls";
            expected += s;
            literal(lits[3]);
            format += L"%d";
            expected += std::to_wstring(c);
            literal(lits[4]);
        }
        size_t capacity;
        switch (rng.Below(4)) {
        case 0:
            capacity = expected.size() + rng.Below(3); // just too short, exact, roomy
            capacity = capacity == 0 ? 1 : capacity;
            break;
        case 1:
            capacity = 260;
            break;
        default:
            capacity = 1 + rng.Below(static_cast<uint32_t>(expected.size() + 8));
            break;
        }
        SCOPED_TRACE(testing::Message() << "capacity " << capacity << ", text of "
                                        << expected.size() << " characters");
        FencedBuffer buffer(capacity);
        const HRESULT hr =
            fCompanion
                ? FormatToBuffer(buffer.Data(), capacity, format.c_str(), a, b, c)
                : FormatToBuffer(buffer.Data(), capacity, format.c_str(), a, b, s.c_str(), c);
        ASSERT_TRUE(buffer.FencesIntact()) << "written outside the buffer";
        const size_t shown = std::min(expected.size(), capacity - 1);
        ASSERT_EQ(expected.size() <= capacity - 1 ? S_OK : kInsufficientBuffer, hr);
        ASSERT_EQ(0, buffer.Data()[shown]) << "not terminated after the text";
        ASSERT_TRUE(std::wstring(buffer.Data(), shown) == expected.substr(0, shown));
        (hr == S_OK ? fits : cut)++;
    }
    std::printf("[ counts ] FormatToBuffer: %llu formatted whole, %llu cut short\n",
                static_cast<unsigned long long>(fits), static_cast<unsigned long long>(cut));
}

TEST(PureFunctions, FormatToBufferRefusesCapacitiesItCannotHonour) {
    for (size_t capacity : {size_t{0}, size_t{0x80000000u}, ~size_t{0}}) {
        FencedBuffer buffer(4);
        EXPECT_EQ(E_INVALIDARG, FormatToBuffer(buffer.Data(), capacity, L"%d", 7));
        EXPECT_TRUE(buffer.FencesIntact());
        EXPECT_EQ(FencedBuffer::kMark, buffer.Data()[0]) << "written although refused";
    }
}

TEST(PureFunctions, StyleParseMatchesItsReference) {
    Rng rng = Rng::ForTest("PureFunctions.StyleParse");
    static const wchar_t kChars[] = L"0123456789012345678+- \t\n\v\f\rx.";
    uint64_t inRange = 0;
    Budget budget(50000, 20000);
    while (budget.More()) {
        std::wstring text;
        const size_t n = rng.OneIn(50) ? 1000 + rng.Below(23) : rng.Below(24);
        for (size_t i = 0; i < n; ++i) {
            text.push_back(kChars[rng.Below(sizeof(kChars) / sizeof(wchar_t) - 1)]);
        }
        if (rng.OneIn(3)) {
            text.insert(rng.Below(static_cast<uint32_t>(text.size() + 1)), 1,
                        static_cast<wchar_t>(L'1' + rng.Below(8)));
        }
        const int style = ParseIconStyle(text.c_str());
        ASSERT_EQ(ReferenceStyle(text), style)
            << "text \"" << std::string(text.begin(), text.end()) << "\"";
        inRange += style != 1;
    }
    // Any UTF-16 at all still gives a style.
    Budget raw(20000, 10000);
    while (raw.More()) {
        std::wstring text;
        for (size_t i = rng.Below(30); i > 0; --i) {
            text.push_back(static_cast<wchar_t>(1 + rng.Below(0xFFFF)));
        }
        const int style = ParseIconStyle(text.c_str());
        ASSERT_GE(style, 1);
        ASSERT_LE(style, 8);
    }
    std::printf("[ counts ] style parse: %llu texts against the reference (%llu gave 2..8), %llu "
                "raw\n",
                static_cast<unsigned long long>(budget.Count()),
                static_cast<unsigned long long>(inRange),
                static_cast<unsigned long long>(raw.Count()));
}

// The placement told as a table: for each taskbar posture and quadrant,
// which band edge and which side of it.
CompanionPlacement ReferencePlacement(const RECT& mon, const RECT& band, const RECT& parent,
                                      POINT pt) {
    const long long width = static_cast<long long>(mon.right) - mon.left;
    const long long height = static_cast<long long>(mon.bottom) - mon.top;
    // Left half: strictly before the middle column, with the middle rounded
    // toward zero as integer halves are.
    const bool left = (static_cast<long long>(pt.x) - mon.left) < width / 2;
    const bool top = (static_cast<long long>(pt.y) - mon.top) < height / 2;
    const bool upright = (static_cast<long long>(parent.bottom) - parent.top) >=
                         (static_cast<long long>(parent.right) - parent.left);
    static const int kCorner[2][2] = {{2, 1}, {3, 0}}; // [left][top]
    auto sat = [](long long v) {
        return static_cast<LONG>(std::max<long long>(LONG_MIN, std::min<long long>(LONG_MAX, v)));
    };
    CompanionPlacement p = {};
    p.corner = kCorner[left][top];
    p.fVertical = upright;
    if (upright) {
        p.anchor = {left ? sat(band.right + 2LL) : sat(band.left - 2LL),
                    top ? band.top : band.bottom};
    } else {
        p.anchor = {left ? band.left : band.right,
                    top ? sat(band.bottom + 2LL) : sat(band.top - 2LL)};
    }
    return p;
}

LONG RandomCoordinate(Rng& rng) {
    static const LONG kEdges[] = {0,     1,        -1,       799,          800,         600,
                                  -1024, LONG_MAX, LONG_MIN, LONG_MAX - 1, LONG_MIN + 1};
    switch (rng.Below(3)) {
    case 0:
        return kEdges[rng.Below(11)];
    case 1:
        return static_cast<LONG>(rng.Below(5000)) - 2000;
    default:
        return rng.Int32();
    }
}

TEST(PureFunctions, CompanionPlacementMatchesItsReference) {
    Rng rng = Rng::ForTest("PureFunctions.CompanionPlacement");
    uint64_t corners[4] = {};
    Budget budget(100000, 20000);
    while (budget.More()) {
        RECT mon, band, parent;
        POINT pt;
        if (rng.OneIn(2)) {
            // A plausible desktop: a monitor somewhere, a taskbar along one
            // of its edges, the band in it and the click on the band.
            const LONG ox = static_cast<LONG>(rng.Below(6000)) - 3000;
            const LONG oy = static_cast<LONG>(rng.Below(4000)) - 2000;
            const LONG w = 320 + static_cast<LONG>(rng.Below(4000));
            const LONG h = 200 + static_cast<LONG>(rng.Below(3000));
            mon = {ox, oy, ox + w, oy + h};
            const LONG thick = 20 + static_cast<LONG>(rng.Below(60));
            switch (rng.Below(4)) {
            case 0:
                parent = {ox, oy + h - thick, ox + w, oy + h};
                break;
            case 1:
                parent = {ox, oy, ox + w, oy + thick};
                break;
            case 2:
                parent = {ox, oy, ox + thick, oy + h};
                break;
            default:
                parent = {ox + w - thick, oy, ox + w, oy + h};
                break;
            }
            const LONG bx =
                parent.left +
                static_cast<LONG>(rng.Below(static_cast<uint32_t>(parent.right - parent.left)));
            const LONG by =
                parent.top +
                static_cast<LONG>(rng.Below(static_cast<uint32_t>(parent.bottom - parent.top)));
            band = {bx, by, bx + 32, by + 32};
            pt = {bx + static_cast<LONG>(rng.Below(32)), by + static_cast<LONG>(rng.Below(32))};
        } else {
            mon = {RandomCoordinate(rng), RandomCoordinate(rng), RandomCoordinate(rng),
                   RandomCoordinate(rng)};
            band = {RandomCoordinate(rng), RandomCoordinate(rng), RandomCoordinate(rng),
                    RandomCoordinate(rng)};
            parent = {RandomCoordinate(rng), RandomCoordinate(rng), RandomCoordinate(rng),
                      RandomCoordinate(rng)};
            pt = {RandomCoordinate(rng), RandomCoordinate(rng)};
        }
        const CompanionPlacement got = ComputeCompanionPlacement(mon, band, parent, pt);
        const CompanionPlacement want = ReferencePlacement(mon, band, parent, pt);
        ASSERT_EQ(want.corner, got.corner);
        ASSERT_EQ(want.fVertical, got.fVertical);
        ASSERT_EQ(want.anchor.x, got.anchor.x);
        ASSERT_EQ(want.anchor.y, got.anchor.y);
        ++corners[got.corner & 3];
    }
    std::printf(
        "[ counts ] companion placement: %llu cases (corners %llu/%llu/%llu/%llu)\n",
        static_cast<unsigned long long>(budget.Count()),
        static_cast<unsigned long long>(corners[0]), static_cast<unsigned long long>(corners[1]),
        static_cast<unsigned long long>(corners[2]), static_cast<unsigned long long>(corners[3]));
}

TEST(PureFunctions, IconSquareMatchesItsReference) {
    Rng rng = Rng::ForTest("PureFunctions.IconSquare");
    auto size = [&]() -> int {
        static const int kEdges[] = {0, 1, 31, 32, 33, 65535, INT_MAX};
        return rng.OneIn(3) ? kEdges[rng.Below(7)] : static_cast<int>(rng.Below(70000));
    };
    Budget budget(100000, 10000);
    while (budget.More()) {
        const int w = size(), h = size();
        const IconSquare got = ComputeIconSquare(w, h);
        // The largest square of at most 32 that fits, centred with the odd
        // pixel left over on the far side.
        int side = 0;
        while (side < 32 && side < w && side < h) {
            ++side;
        }
        ASSERT_EQ(side, got.side) << w << "x" << h;
        ASSERT_EQ(static_cast<int>((static_cast<long long>(w) - side) >> 1), got.x)
            << w << "x" << h;
        ASSERT_EQ(static_cast<int>((static_cast<long long>(h) - side) >> 1), got.y)
            << w << "x" << h;
    }
    // Sizes no window has: no square, and no overflow on the way.
    for (int w : {-1, -33, INT_MIN}) {
        for (int h : {0, 40, INT_MAX, INT_MIN}) {
            EXPECT_EQ(0, ComputeIconSquare(w, h).side) << w << "x" << h;
            EXPECT_EQ(0, ComputeIconSquare(h, w).side) << h << "x" << w;
        }
    }
    std::printf("[ counts ] icon square: %llu sizes\n",
                static_cast<unsigned long long>(budget.Count()));
}

} // namespace
} // namespace hardening
