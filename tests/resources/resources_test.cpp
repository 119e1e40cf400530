// The module's resources as the band and the system read them: the 32 agent
// pictures, the manifest and the version information, taken from the built
// VantrelDeskBand.dll beside this executable.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "res/resource_ids.h"

namespace {

constexpr WORD kUsEnglish = 0x0409;
constexpr int kSide = 32;

std::wstring ModulePath() {
    wchar_t path[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    dir.erase(dir.find_last_of(L"\\/") + 1);
    return dir + L"VantrelDeskBand.dll";
}

// Loaded as an image resource only: these tests look at what the module
// carries, not at what its code does when loaded.
HMODULE Module() {
    static HMODULE module = LoadLibraryExW(
        ModulePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    return module;
}

struct Blob {
    const BYTE* data = nullptr;
    DWORD size = 0;
};

Blob FindRaw(LPCWSTR type, int id) {
    HRSRC found = FindResourceExW(Module(), type, MAKEINTRESOURCEW(id), kUsEnglish);
    if (!found)
        return {};
    HGLOBAL loaded = LoadResource(Module(), found);
    return {static_cast<const BYTE*>(LockResource(loaded)), SizeofResource(Module(), found)};
}

// ---------------------------------------------------------------------------
// The pictures

enum class State { Normal, Hot };
enum class Variant { Alpha, Keyed };

struct PictureCase {
    int id;
    int style;
    State state;
    Variant variant;
};

void PrintTo(const PictureCase& c, std::ostream* os) {
    *os << "id " << c.id << " (style " << c.style << ", "
        << (c.state == State::Hot ? "hot" : "normal") << ", "
        << (c.variant == Variant::Alpha ? "alpha" : "keyed") << ")";
}

constexpr State N = State::Normal;
constexpr State H = State::Hot;
constexpr Variant A = Variant::Alpha;
constexpr Variant K = Variant::Keyed;

// What the painting code expects under each id. Style 3 holds its four ids in
// reverse order.
const PictureCase kPictures[] = {
    {109, 1, N, A}, {110, 1, H, A}, {111, 1, N, K}, {112, 1, H, K}, //
    {113, 2, N, A}, {114, 2, H, A}, {115, 2, N, K}, {116, 2, H, K}, //
    {120, 3, N, A}, {119, 3, H, A}, {118, 3, N, K}, {117, 3, H, K}, //
    {121, 4, N, A}, {122, 4, H, A}, {123, 4, N, K}, {124, 4, H, K}, //
    {125, 5, N, A}, {126, 5, H, A}, {127, 5, N, K}, {128, 5, H, K}, //
    {129, 6, N, A}, {130, 6, H, A}, {131, 6, N, K}, {132, 6, H, K}, //
    {133, 7, N, A}, {134, 7, H, A}, {135, 7, N, K}, {136, 7, H, K}, //
    {137, 8, N, A}, {138, 8, H, A}, {139, 8, N, K}, {140, 8, H, K}, //
};

int IdOf(int style, State state, Variant variant) {
    for (const PictureCase& c : kPictures)
        if (c.style == style && c.state == state && c.variant == variant)
            return c.id;
    return 0;
}

struct Px {
    int r, g, b, a;
};

bool IsKey(const Px& p) {
    return p.r == 255 && p.g == 0 && p.b == 255;
}
// Close enough to the key that colour matching on a low-depth display could
// mistake it for the key.
bool NearKey(const Px& p) {
    return std::max({255 - p.r, p.g, 255 - p.b}) < 64;
}
bool IsNeutral(const Px& p) {
    return p.r == p.g && p.g == p.b;
}
bool IsWhitish(const Px& p) {
    return p.r >= 235 && p.g >= 235 && p.b >= 200;
}
// The badge's flat blue, RGB(43,152,236), also after the hot form lightens it.
bool IsBadgeBlue(const Px& p) {
    return p.b >= 210 && p.g >= 130 && p.b - p.r >= 120 && p.b - p.g >= 40;
}

// A picture decoded from its raw resource, rows from the top.
struct Picture {
    const BITMAPINFOHEADER* header = nullptr;
    std::vector<RGBQUAD> table;
    std::vector<Px> px;
    bool ok = false;

    const Px& at(int x, int y) const { return px[y * kSide + x]; }
};

Picture Decode(int id) {
    Picture pic;
    Blob raw = FindRaw(RT_BITMAP, id);
    if (!raw.data || raw.size < sizeof(BITMAPINFOHEADER))
        return pic;
    pic.header = reinterpret_cast<const BITMAPINFOHEADER*>(raw.data);
    const BITMAPINFOHEADER& h = *pic.header;
    if (h.biSize != sizeof(BITMAPINFOHEADER) || h.biWidth != kSide || h.biHeight != kSide ||
        h.biCompression != BI_RGB ||
        (h.biBitCount != 8 && h.biBitCount != 24 && h.biBitCount != 32))
        return pic;
    DWORD entries = h.biBitCount == 8 ? (h.biClrUsed ? h.biClrUsed : 256) : h.biClrUsed;
    size_t stride = ((kSide * h.biBitCount / 8) + 3) & ~size_t(3);
    size_t bitsAt = h.biSize + entries * sizeof(RGBQUAD);
    if (raw.size < bitsAt + stride * kSide)
        return pic;
    const RGBQUAD* table = reinterpret_cast<const RGBQUAD*>(raw.data + h.biSize);
    pic.table.assign(table, table + entries);
    for (int y = 0; y < kSide; ++y) {
        const BYTE* row = raw.data + bitsAt + stride * (kSide - 1 - y); // stored bottom-up
        for (int x = 0; x < kSide; ++x) {
            if (h.biBitCount == 32) {
                const BYTE* p = row + 4 * x;
                pic.px.push_back({p[2], p[1], p[0], p[3]});
            } else if (h.biBitCount == 24) {
                const BYTE* p = row + 3 * x;
                pic.px.push_back({p[2], p[1], p[0], 255});
            } else {
                if (row[x] >= entries)
                    return pic;
                const RGBQUAD& q = table[row[x]];
                pic.px.push_back({q.rgbRed, q.rgbGreen, q.rgbBlue, 255});
            }
        }
    }
    pic.ok = true;
    return pic;
}

// The opaque figure of an alpha picture, or the non-key pixels of a keyed one.
bool InFigure(const Picture& pic, Variant variant, int x, int y) {
    const Px& p = pic.at(x, y);
    return variant == Variant::Alpha ? p.a >= 250 : !IsKey(p);
}

// Chessboard distance from (x, y) to the nearest pixel of `mask`; 99 if none
// lies within the search radius.
int DistanceTo(const std::vector<bool>& mask, int x, int y, int radius = 12) {
    int best = 99;
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            int u = x + dx, v = y + dy;
            if (u >= 0 && v >= 0 && u < kSide && v < kSide && mask[v * kSide + u])
                best = std::min(best, std::max(std::abs(dx), std::abs(dy)));
        }
    return best;
}

// True when a pixel left, right, above or below (x, y) belongs to `mask`.
bool BesideFigure(const std::vector<bool>& mask, int x, int y) {
    return (x > 0 && mask[y * kSide + x - 1]) || (x < kSide - 1 && mask[y * kSide + x + 1]) ||
           (y > 0 && mask[(y - 1) * kSide + x]) || (y < kSide - 1 && mask[(y + 1) * kSide + x]);
}

std::vector<bool> FigureMask(const Picture& pic, Variant variant) {
    std::vector<bool> mask(kSide * kSide);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            mask[y * kSide + x] = InFigure(pic, variant, x, y);
    return mask;
}

// The form a picture shows, judged from its pixels alone: an alpha picture
// with translucent pixels more than one pixel away from the figure has a glow;
// a keyed picture whose every edge pixel is white has an outline.
State JudgeState(const Picture& pic, Variant variant) {
    std::vector<bool> figure = FigureMask(pic, variant);
    if (variant == Variant::Alpha) {
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x)
                if (pic.at(x, y).a > 0 && !figure[y * kSide + x] && DistanceTo(figure, x, y) >= 2)
                    return State::Hot;
        return State::Normal;
    }
    std::vector<bool> background(figure.size());
    std::transform(figure.begin(), figure.end(), background.begin(), [](bool f) { return !f; });
    int edge = 0, white = 0;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            if (!figure[y * kSide + x])
                continue;
            if (BesideFigure(background, x, y)) {
                ++edge;
                white += IsWhitish(pic.at(x, y));
            }
        }
    return edge > 0 && white == edge ? State::Hot : State::Normal;
}

double MeanFigureLevel(const Picture& pic, const std::vector<bool>& figure) {
    double sum = 0;
    int n = 0;
    for (int i = 0; i < kSide * kSide; ++i)
        if (figure[i]) {
            sum += pic.px[i].r + pic.px[i].g + pic.px[i].b;
            n += 3;
        }
    return n ? sum / n : 0;
}

class PictureTest : public ::testing::TestWithParam<PictureCase> {
  protected:
    void SetUp() override {
        ASSERT_NE(Module(), nullptr) << "VantrelDeskBand.dll not found beside the test";
    }
};

// The 32-bpp pictures, drawn with per-pixel alpha.
class AlphaPictureTest : public PictureTest {};
// The pictures for other depths, drawn with the magenta colour key.
class KeyedPictureTest : public PictureTest {};

TEST_P(PictureTest, LoadsAsA32By32Bitmap) {
    HBITMAP bitmap = LoadBitmapW(Module(), MAKEINTRESOURCEW(GetParam().id));
    ASSERT_NE(bitmap, nullptr);
    BITMAP info = {};
    ASSERT_EQ(GetObjectW(bitmap, sizeof(info), &info), int(sizeof(info)));
    EXPECT_EQ(info.bmWidth, kSide);
    EXPECT_EQ(info.bmHeight, kSide);
    DeleteObject(bitmap);
}

TEST_P(PictureTest, IsAPackedBottomUpDibInItsVariantsFormat) {
    const PictureCase& c = GetParam();
    Blob raw = FindRaw(RT_BITMAP, c.id);
    ASSERT_NE(raw.data, nullptr) << "no US English bitmap resource";
    ASSERT_GE(raw.size, sizeof(BITMAPINFOHEADER));
    BITMAPINFOHEADER h;
    std::memcpy(&h, raw.data, sizeof(h));
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, kSide);
    EXPECT_EQ(h.biHeight, kSide) << "rows must be stored bottom-up";
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biCompression, DWORD(BI_RGB));
    if (c.variant == Variant::Alpha) {
        EXPECT_EQ(h.biBitCount, 32);
        EXPECT_EQ(h.biClrUsed, 0u);
    } else if (c.id == 127) {
        EXPECT_EQ(h.biBitCount, 24);
        EXPECT_EQ(h.biClrUsed, 0u);
    } else {
        EXPECT_EQ(h.biBitCount, 8);
        EXPECT_GE(h.biClrUsed, 100u);
        EXPECT_LE(h.biClrUsed, 102u);
    }
    Picture pic = Decode(c.id);
    EXPECT_TRUE(pic.ok) << "header, colour table and rows do not fit the resource";
}

TEST_P(PictureTest, ColourTableHoldsTheKeyOnceWithReservedBytesZero) {
    const PictureCase& c = GetParam();
    Picture pic = Decode(c.id);
    ASSERT_TRUE(pic.ok);
    if (pic.header->biBitCount != 8) {
        EXPECT_TRUE(pic.table.empty());
        return;
    }
    int keys = 0;
    for (const RGBQUAD& q : pic.table) {
        EXPECT_EQ(q.rgbReserved, 0);
        Px p{q.rgbRed, q.rgbGreen, q.rgbBlue, 255};
        if (IsKey(p))
            ++keys;
        else
            EXPECT_FALSE(NearKey(p)) << "table entry " << p.r << "," << p.g << "," << p.b;
    }
    EXPECT_EQ(keys, 1);
}

TEST_P(AlphaPictureTest, IsPremultipliedWithAnOpaqueFigure) {
    const PictureCase& c = GetParam();
    Picture pic = Decode(c.id);
    ASSERT_TRUE(pic.ok);
    int opaque = 0;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const Px& p = pic.at(x, y);
            SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y << " = " << p.r << ","
                                            << p.g << "," << p.b << " alpha " << p.a);
            if (p.a == 0) {
                EXPECT_TRUE(p.r == 0 && p.g == 0 && p.b == 0);
            } else if (IsNeutral(p)) {
                EXPECT_LE(p.r, p.a + 23);
            } else {
                EXPECT_LE(std::max({p.r, p.g, p.b}), p.a);
                // Coloured pixels belong to the figure, which is opaque;
                // only the grey outline and glow are see-through.
                EXPECT_GE(p.a, 250);
            }
            opaque += p.a >= 250;
        }
    // Head and shoulders cover a good part of the square.
    EXPECT_GT(opaque, 300);
}

TEST_P(AlphaPictureTest, EdgeMatchesItsState) {
    const PictureCase& c = GetParam();
    Picture pic = Decode(c.id);
    ASSERT_TRUE(pic.ok);
    std::vector<bool> figure = FigureMask(pic, Variant::Alpha);
    const int reach = c.state == State::Normal ? 1 : (c.style == 8 ? 8 : 4);
    std::vector<double> ringSum(reach + 2, 0);
    std::vector<int> ringCount(reach + 2, 0);
    int strongest = 0;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            if (figure[y * kSide + x])
                continue;
            const Px& p = pic.at(x, y);
            int d = DistanceTo(figure, x, y);
            SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y << " at " << d);
            if (d > reach) {
                EXPECT_EQ(p.a, 0) << "nothing beyond " << reach << " pixel(s) of the figure";
                continue;
            }
            if (BesideFigure(figure, x, y)) {
                EXPECT_GT(p.a, 0) << "gap in the edge beside the figure";
            }
            if (p.a > 0) {
                EXPECT_TRUE(IsNeutral(p));
                EXPECT_GE(p.r, p.a) << "edge and glow are white, not dark";
            }
            ringSum[d] += p.a;
            ringCount[d] += 1;
            strongest = std::max(strongest, p.a);
        }
    if (c.state == State::Normal) {
        EXPECT_LT(strongest, 250) << "the outline is partly transparent";
        return;
    }
    EXPECT_LE(strongest, 146);
    EXPECT_GE(strongest, 100) << "the glow is strongest next to the figure";
    for (int d = 1; d < reach; ++d) {
        ASSERT_GT(ringCount[d], 0);
        ASSERT_GT(ringCount[d + 1], 0);
        EXPECT_GT(ringSum[d] / ringCount[d], ringSum[d + 1] / ringCount[d + 1])
            << "the glow fades outward between " << d << " and " << d + 1 << " pixels";
    }
}

TEST_P(KeyedPictureTest, HasKeyBackgroundAndNoFigurePixelNearIt) {
    const PictureCase& c = GetParam();
    Picture pic = Decode(c.id);
    ASSERT_TRUE(pic.ok);
    const int corners[4][2] = {{0, 0}, {kSide - 1, 0}, {0, kSide - 1}, {kSide - 1, kSide - 1}};
    for (const auto& corner : corners)
        EXPECT_TRUE(IsKey(pic.at(corner[0], corner[1])))
            << "corner " << corner[0] << "," << corner[1];
    int keyed = 0;
    for (const Px& p : pic.px) {
        if (IsKey(p))
            ++keyed;
        else
            EXPECT_FALSE(NearKey(p)) << p.r << "," << p.g << "," << p.b;
    }
    EXPECT_GT(keyed, 100);
    EXPECT_LT(keyed, 700);
}

TEST_P(PictureTest, ShowsTheFormItsIdStandsFor) {
    const PictureCase& c = GetParam();
    Picture pic = Decode(c.id);
    ASSERT_TRUE(pic.ok);
    EXPECT_EQ(pic.header->biBitCount == 32, c.variant == Variant::Alpha);
    EXPECT_EQ(JudgeState(pic, c.variant), c.state);
}

TEST_P(PictureTest, CarriesTheBadgeInTheLowerLeftCorner) {
    const PictureCase& c = GetParam();
    Picture pic = Decode(c.id);
    ASSERT_TRUE(pic.ok);
    int left = kSide, right = -1, top = kSide, bottom = -1, count = 0;
    double cx = 0, cy = 0;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            if (IsBadgeBlue(pic.at(x, y))) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
                cx += x;
                cy += y;
                ++count;
            }
    ASSERT_GE(count, 40) << "no badge-blue disc";
    EXPECT_GE(left, 2);
    EXPECT_LE(left, 4);
    EXPECT_LE(right - left, 9) << "10 pixels across";
    EXPECT_GE(right - left, 7);
    EXPECT_GE(top, 21);
    EXPECT_LE(bottom, 30);
    EXPECT_GE(bottom - top, 7);
    // The white handset lies inside the disc.
    cx /= count;
    cy /= count;
    int handset = 0;
    for (int y = top; y <= bottom; ++y)
        for (int x = left; x <= right; ++x)
            if ((x - cx) * (x - cx) + (y - cy) * (y - cy) < 3.5 * 3.5 && IsWhitish(pic.at(x, y)))
                ++handset;
    EXPECT_GE(handset, 3) << "no white handset in the badge";
}

std::string CaseName(const testing::TestParamInfo<PictureCase>& info) {
    return "id" + std::to_string(info.param.id);
}

std::vector<PictureCase> CasesOf(Variant variant) {
    std::vector<PictureCase> cases;
    for (const PictureCase& c : kPictures)
        if (c.variant == variant)
            cases.push_back(c);
    return cases;
}

INSTANTIATE_TEST_SUITE_P(AllIds, PictureTest, ::testing::ValuesIn(kPictures), CaseName);
INSTANTIATE_TEST_SUITE_P(AlphaIds, AlphaPictureTest, ::testing::ValuesIn(CasesOf(Variant::Alpha)),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(KeyedIds, KeyedPictureTest, ::testing::ValuesIn(CasesOf(Variant::Keyed)),
                         CaseName);

// Pairs of forms of one style.
class StyleTest : public ::testing::TestWithParam<int> {};

TEST_P(StyleTest, HotAlphaPictureIsTheSameFigureLighter) {
    Picture normal = Decode(IdOf(GetParam(), State::Normal, Variant::Alpha));
    Picture hot = Decode(IdOf(GetParam(), State::Hot, Variant::Alpha));
    ASSERT_TRUE(normal.ok && hot.ok);
    std::vector<bool> figure = FigureMask(normal, Variant::Alpha);
    EXPECT_EQ(figure, FigureMask(hot, Variant::Alpha)) << "same silhouette";
    double lift = MeanFigureLevel(hot, figure) - MeanFigureLevel(normal, figure);
    EXPECT_GE(lift, 12.0);
    EXPECT_LE(lift, 16.0);
    // The badge is lightened with the rest.
    std::vector<bool> badge(kSide * kSide);
    for (int i = 0; i < kSide * kSide; ++i)
        badge[i] = figure[i] && IsBadgeBlue(normal.px[i]) && IsBadgeBlue(hot.px[i]);
    ASSERT_GT(std::count(badge.begin(), badge.end(), true), 30);
    EXPECT_GT(MeanFigureLevel(hot, badge), MeanFigureLevel(normal, badge) + 4.0);
}

TEST_P(StyleTest, HotKeyedPictureAddsASolidWhiteOutlineToTheSameFigure) {
    const int style = GetParam();
    Picture normal = Decode(IdOf(style, State::Normal, Variant::Keyed));
    Picture hot = Decode(IdOf(style, State::Hot, Variant::Keyed));
    ASSERT_TRUE(normal.ok && hot.ok);
    std::vector<bool> figure = FigureMask(normal, Variant::Keyed);
    double colourError = 0;
    int figurePixels = 0, outline = 0;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            const Px& n = normal.at(x, y);
            const Px& h = hot.at(x, y);
            SCOPED_TRACE(testing::Message() << "pixel " << x << "," << y);
            if (figure[y * kSide + x]) {
                ASSERT_FALSE(IsKey(h)) << "the hot figure lost a pixel";
                colourError += std::abs(n.r - h.r) + std::abs(n.g - h.g) + std::abs(n.b - h.b);
                ++figurePixels;
                continue;
            }
            int d = DistanceTo(figure, x, y);
            if (BesideFigure(figure, x, y)) {
                EXPECT_FALSE(IsKey(h)) << "gap in the outline";
            }
            if (!IsKey(h)) {
                EXPECT_LE(d, 2) << "outline wider than 2 pixels";
                if (style == 1)
                    EXPECT_TRUE(IsWhitish(h)) << "white or pale cream";
                else
                    EXPECT_TRUE(h.r == 255 && h.g == 255 && h.b == 255) << "white";
                ++outline;
            }
        }
    ASSERT_GT(figurePixels, 0);
    EXPECT_LT(colourError / (3.0 * figurePixels), 4.0)
        << "figure colours differ by more than palette rounding";
    EXPECT_GT(outline, 60);
    // The outline makes the hot form the lighter one.
    std::vector<bool> hotFigure = FigureMask(hot, Variant::Keyed);
    EXPECT_GT(MeanFigureLevel(hot, hotFigure), MeanFigureLevel(normal, figure));
}

INSTANTIATE_TEST_SUITE_P(AllStyles, StyleTest, ::testing::Range(1, ICON_STYLE_COUNT + 1),
                         [](const testing::TestParamInfo<int>& info) {
                             return "style" + std::to_string(info.param);
                         });

TEST(PictureSet, StyleThreeHoldsItsIdsInReverseOrder) {
    ASSERT_NE(Module(), nullptr);
    struct Expected {
        int id;
        Variant variant;
        State state;
    } expected[] = {{117, K, H}, {118, K, N}, {119, A, H}, {120, A, N}};
    for (const Expected& e : expected) {
        SCOPED_TRACE(testing::Message() << "id " << e.id);
        Picture pic = Decode(e.id);
        ASSERT_TRUE(pic.ok);
        EXPECT_EQ(pic.header->biBitCount == 32 ? A : K, e.variant);
        EXPECT_EQ(JudgeState(pic, e.variant), e.state);
    }
}

BOOL CALLBACK CollectName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
    auto* names = reinterpret_cast<std::vector<long>*>(param);
    names->push_back(IS_INTRESOURCE(name) ? long(reinterpret_cast<ULONG_PTR>(name)) : -1L);
    return TRUE;
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
    return TRUE;
}

std::vector<long> NamesOf(LPCWSTR type) {
    std::vector<long> names;
    EnumResourceNamesW(Module(), type, CollectName, reinterpret_cast<LONG_PTR>(&names));
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<WORD> LanguagesOf(LPCWSTR type, long id) {
    std::vector<WORD> languages;
    EnumResourceLanguagesW(Module(), type, MAKEINTRESOURCEW(id), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    return languages;
}

TEST(ModuleResources, HoldExactlyTheListedBitmapsManifestAndVersionInUsEnglish) {
    ASSERT_NE(Module(), nullptr);
    std::vector<long> bitmaps;
    for (long id = IDB_ICON_FIRST; id <= IDB_ICON_LAST; ++id)
        bitmaps.push_back(id);
    EXPECT_EQ(bitmaps.size(), std::size(kPictures));
    EXPECT_EQ(NamesOf(RT_BITMAP), bitmaps);
    EXPECT_EQ(NamesOf(RT_MANIFEST), std::vector<long>{IDR_MANIFEST});
    EXPECT_EQ(NamesOf(RT_VERSION), std::vector<long>{IDR_VERSION});
    for (long id : bitmaps)
        EXPECT_EQ(LanguagesOf(RT_BITMAP, id), std::vector<WORD>{kUsEnglish}) << "bitmap " << id;
    EXPECT_EQ(LanguagesOf(RT_MANIFEST, IDR_MANIFEST), std::vector<WORD>{kUsEnglish});
    EXPECT_EQ(LanguagesOf(RT_VERSION, IDR_VERSION), std::vector<WORD>{kUsEnglish});
}

// ---------------------------------------------------------------------------
// The manifest

std::string ManifestXml() {
    Blob raw = FindRaw(RT_MANIFEST, IDR_MANIFEST);
    return raw.data ? std::string(reinterpret_cast<const char*>(raw.data), raw.size) : "";
}

// The text of the first element called `name`, from '<' to '>'.
std::string Element(const std::string& xml, const std::string& name) {
    size_t at = xml.find("<" + name);
    if (at == std::string::npos)
        return "";
    return xml.substr(at, xml.find('>', at) + 1 - at);
}

TEST(Manifest, AsksOnlyToRunAsInvoker) {
    ASSERT_NE(Module(), nullptr);
    std::string xml = ManifestXml();
    ASSERT_FALSE(xml.empty()) << "no manifest 2 in US English";
    std::string assembly = Element(xml, "assembly");
    EXPECT_NE(assembly.find("xmlns=\"urn:schemas-microsoft-com:asm.v1\""), std::string::npos)
        << assembly;
    EXPECT_NE(assembly.find("manifestVersion=\"1.0\""), std::string::npos) << assembly;
    std::string trust = Element(xml, "trustInfo");
    EXPECT_NE(trust.find("xmlns=\"urn:schemas-microsoft-com:asm.v3\""), std::string::npos) << trust;
    std::string level = Element(xml, "requestedExecutionLevel");
    EXPECT_NE(level.find("level=\"asInvoker\""), std::string::npos) << level;
    EXPECT_NE(level.find("uiAccess=\"false\""), std::string::npos) << level;
    // Trust information is all it says: the band binds to no side-by-side
    // assembly, in particular not to version 6 of the Common Controls.
    for (const char* absent : {"dependency", "dependentAssembly", "Common-Controls",
                               "assemblyIdentity", "compatibility", "application"})
        EXPECT_EQ(xml.find(absent), std::string::npos) << absent;
    EXPECT_NE(xml.find("</assembly>"), std::string::npos);
}

// ---------------------------------------------------------------------------
// The version information

class VersionInfo : public ::testing::Test {
  protected:
    void SetUp() override {
        std::wstring path = ModulePath();
        DWORD ignored = 0;
        DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
        ASSERT_GT(size, 0u) << "no version information";
        block_.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, size, block_.data()));
    }

    // The value under `path`, or nothing when it is absent.
    bool Query(const wchar_t* path, void** value, UINT* length) {
        return VerQueryValueW(block_.data(), path, value, length) && *length > 0;
    }

    std::wstring String(const wchar_t* name) {
        std::wstring path = std::wstring(L"\\StringFileInfo\\040904e4\\") + name;
        void* value = nullptr;
        UINT length = 0;
        if (!Query(path.c_str(), &value, &length))
            return L"<absent>";
        return static_cast<const wchar_t*>(value);
    }

    std::vector<BYTE> block_;
};

TEST_F(VersionInfo, FixedPartGivesTheFileAndProductVersion) {
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(Query(L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 148u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
    EXPECT_EQ(fixed->dwFileFlags, 0u);
    EXPECT_EQ(fixed->dwFileOS, DWORD(VOS_UNKNOWN));
    EXPECT_EQ(fixed->dwFileType, DWORD(VFT_DLL));
    EXPECT_EQ(fixed->dwFileSubtype, 0u);
    EXPECT_EQ(fixed->dwFileDateMS, 0u);
    EXPECT_EQ(fixed->dwFileDateLS, 0u);
}

TEST_F(VersionInfo, OneTranslationUsEnglishCodePage1252) {
    WORD* pairs = nullptr;
    UINT length = 0;
    ASSERT_TRUE(Query(L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pairs), &length));
    ASSERT_EQ(length, 2 * sizeof(WORD));
    EXPECT_EQ(pairs[0], 0x0409);
    EXPECT_EQ(pairs[1], 1252);
}

TEST_F(VersionInfo, StringTableReadsBack) {
    EXPECT_EQ(String(L"FileVersion"), L"1.0.0.148");
    EXPECT_EQ(String(L"ProductVersion"), L"1.0.0.0");
    for (const wchar_t* absent :
         {L"CompanyName", L"FileDescription", L"ProductName", L"LegalCopyright", L"InternalName",
          L"OriginalFilename", L"Comments", L"LegalTrademarks"})
        EXPECT_EQ(String(absent), L"<absent>") << absent;
}

// One node of the version resource's tree: length, value length, type, key,
// value and children, each part aligned to 4 bytes.
struct VersionNode {
    std::wstring key;
    std::vector<VersionNode> children;
};

bool ParseVersionNode(const BYTE* base, size_t offset, size_t end, VersionNode& node,
                      size_t& next) {
    auto align = [](size_t n) { return (n + 3) & ~size_t(3); };
    if (offset + 6 > end)
        return false;
    WORD length, valueLength, type;
    std::memcpy(&length, base + offset, 2);
    std::memcpy(&valueLength, base + offset + 2, 2);
    std::memcpy(&type, base + offset + 4, 2);
    if (length < 6 || offset + length > end)
        return false;
    size_t nodeEnd = offset + length;
    size_t at = offset + 6;
    for (;; at += 2) {
        if (at + 2 > nodeEnd)
            return false;
        wchar_t ch;
        std::memcpy(&ch, base + at, 2);
        if (ch == 0)
            break;
        node.key.push_back(ch);
    }
    at = align(at + 2);
    at = align(at + (type == 1 ? valueLength * 2u : valueLength));
    while (at + 6 <= nodeEnd) {
        VersionNode child;
        size_t after = 0;
        if (!ParseVersionNode(base, at, nodeEnd, child, after))
            return false;
        node.children.push_back(child);
        at = align(after);
    }
    next = nodeEnd;
    return true;
}

std::vector<std::wstring> KeysOf(const VersionNode& node) {
    std::vector<std::wstring> keys;
    for (const VersionNode& child : node.children)
        keys.push_back(child.key);
    return keys;
}

TEST(VersionResource, HoldsOneStringTableWithExactlyTheTwoVersionStrings) {
    ASSERT_NE(Module(), nullptr);
    Blob raw = FindRaw(RT_VERSION, IDR_VERSION);
    ASSERT_NE(raw.data, nullptr) << "no version resource 1 in US English";
    VersionNode root;
    size_t next = 0;
    ASSERT_TRUE(ParseVersionNode(raw.data, 0, raw.size, root, next)) << "malformed";
    EXPECT_EQ(root.key, L"VS_VERSION_INFO");
    std::vector<std::wstring> blocks = KeysOf(root);
    std::sort(blocks.begin(), blocks.end());
    ASSERT_EQ(blocks, (std::vector<std::wstring>{L"StringFileInfo", L"VarFileInfo"}));
    for (const VersionNode& block : root.children) {
        if (block.key == L"StringFileInfo") {
            ASSERT_EQ(KeysOf(block), std::vector<std::wstring>{L"040904e4"});
            std::vector<std::wstring> strings = KeysOf(block.children[0]);
            std::sort(strings.begin(), strings.end());
            EXPECT_EQ(strings, (std::vector<std::wstring>{L"FileVersion", L"ProductVersion"}));
        } else {
            EXPECT_EQ(KeysOf(block), std::vector<std::wstring>{L"Translation"});
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
