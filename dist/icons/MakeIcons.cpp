// Writes the program's main icon as PNG files for the hicolor icon theme:
// 16 and 32 pixels exactly as the program draws its idle tray icon (the pixel
// art of res/Icons.cpp), and 48 to 256 pixels drawn from the same globe as
// dist/icons/prodlet.svg, with the straight grid lines snapped to whole pixels
// so that every size stays crisp. Runs at build time; no Qt, only zlib.
//
//   MakeIcons OUTDIR   writes OUTDIR/16.png, 32.png, 48.png, 64.png, 128.png, 256.png

#include "framework/Images.h"
#include "res/ResourceTables.h"
#include "res/resource.h"

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 0;
};

struct Image {
    int size = 0;
    std::vector<Rgba> pixels;  // row by row
};

// The art as the program decodes it; false if it is not all there.
bool FromArt(const AFX_ICON_IMAGE& art, Image& img)
{
    AFX_IMAGE32 decoded;
    if (!AfxDecodeIcon(art, decoded))
        return false;
    img.size = decoded.size;
    img.pixels.clear();
    for (const std::uint32_t nArgb : decoded.pixels) {
        img.pixels.push_back(Rgba{static_cast<std::uint8_t>(nArgb >> 16), static_cast<std::uint8_t>(nArgb >> 8),
                                  static_cast<std::uint8_t>(nArgb), static_cast<std::uint8_t>(nArgb >> 24)});
    }
    return true;
}

// The globe in units of a 32-unit square, as in prodlet.svg: a disk of radius
// 15 with a black rim of 1.5, latitude lines 8 units above and below the
// equator, a straight central meridian and two meridians on an ellipse of
// half-width 8 that meets the rim at the poles. Lines are 0.75 units wide.
constexpr double kOuterRadius = 15.0;
constexpr double kRimWidth = 1.5;
constexpr double kLineWidth = 0.75;
constexpr double kGridStep = 8.0;
constexpr Rgba kGreen{0x00, 0x80, 0x00, 0xFF};
constexpr Rgba kLime{0x00, 0xFF, 0x00, 0xFF};
constexpr Rgba kBlack{0x00, 0x00, 0x00, 0xFF};

class CGlobe {
public:
    explicit CGlobe(int nSize)
        : m_dScale(nSize / 32.0),
          m_dCentre(nSize / 2.0),
          m_dOuter(kOuterRadius * m_dScale),
          m_dInner((kOuterRadius - kRimWidth) * m_dScale),
          m_dEllipseA(kGridStep * m_dScale),
          m_dEllipseB(m_dInner),
          m_nLine(std::max(1, static_cast<int>(std::lround(kLineWidth * m_dScale))))
    {
        // Straight lines cover whole pixels: a band of m_nLine pixels starting
        // on a pixel edge, as near to its true centre as the grid allows.
        for (int k = -1; k <= 1; ++k)
            m_anBandStart[k + 1] = BandStart(m_dCentre + k * kGridStep * m_dScale);
    }

    // Colour at a point of the canvas, in pixels; alpha 0 outside the globe.
    Rgba At(double x, double y) const
    {
        const double dx = x - m_dCentre, dy = y - m_dCentre;
        const double r = std::hypot(dx, dy);
        if (r > m_dOuter)
            return {};
        if (r > m_dInner)
            return kBlack;
        if (InBand(x, m_anBandStart[1]))
            return kLime;
        for (int nStart : m_anBandStart) {
            if (InBand(y, nStart))
                return kLime;
        }
        if (NearEllipse(dx, dy))
            return kLime;
        return kGreen;
    }

    double HalfLine() const { return m_nLine / 2.0; }

private:
    int BandStart(double dCentre) const { return static_cast<int>(std::floor(dCentre - m_nLine / 2.0 + 0.5)); }
    bool InBand(double v, int nStart) const { return v >= nStart && v < nStart + m_nLine; }

    bool NearEllipse(double dx, double dy) const
    {
        // Distance to the ellipse to first order: (g - 1) / |grad g|.
        const double a2 = m_dEllipseA * m_dEllipseA, b2 = m_dEllipseB * m_dEllipseB;
        const double g = std::sqrt(dx * dx / a2 + dy * dy / b2);
        if (g == 0.0)
            return false;
        const double grad = std::sqrt(dx * dx / (a2 * a2) + dy * dy / (b2 * b2)) / g;
        return std::fabs(g - 1.0) / grad < HalfLine();
    }

    double m_dScale, m_dCentre, m_dOuter, m_dInner, m_dEllipseA, m_dEllipseB;
    int m_nLine;
    int m_anBandStart[3] = {};
};

// Each pixel averages 8 x 8 samples: the curves get smooth edges, while the
// snapped straight lines cover their pixels fully and stay sharp.
Image Draw(int nSize)
{
    constexpr int kSub = 8;
    const CGlobe globe(nSize);
    Image img;
    img.size = nSize;
    img.pixels.resize(static_cast<std::size_t>(nSize) * nSize);
    for (int py = 0; py < nSize; ++py) {
        for (int px = 0; px < nSize; ++px) {
            double r = 0, g = 0, b = 0;
            int nOpaque = 0;
            for (int sy = 0; sy < kSub; ++sy) {
                for (int sx = 0; sx < kSub; ++sx) {
                    const Rgba c = globe.At(px + (sx + 0.5) / kSub, py + (sy + 0.5) / kSub);
                    if (c.a == 0)
                        continue;
                    r += c.r;
                    g += c.g;
                    b += c.b;
                    ++nOpaque;
                }
            }
            Rgba& out = img.pixels[static_cast<std::size_t>(py) * nSize + px];
            if (nOpaque > 0) {
                out.r = static_cast<std::uint8_t>(std::lround(r / nOpaque));
                out.g = static_cast<std::uint8_t>(std::lround(g / nOpaque));
                out.b = static_cast<std::uint8_t>(std::lround(b / nOpaque));
                out.a = static_cast<std::uint8_t>(std::lround(255.0 * nOpaque / (kSub * kSub)));
            }
        }
    }
    return img;
}

void PutBigEndian(std::string& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void PutChunk(std::string& out, const char* pszType, const std::string& data)
{
    PutBigEndian(out, static_cast<std::uint32_t>(data.size()));
    std::string body(pszType, 4);
    body += data;
    out += body;
    PutBigEndian(out, static_cast<std::uint32_t>(
                          crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

// 8-bit RGBA, no filtering, one zlib stream.
bool WritePng(const Image& img, const std::string& strPath)
{
    std::string raw;
    for (int y = 0; y < img.size; ++y) {
        raw.push_back('\0');  // filter: none
        for (int x = 0; x < img.size; ++x) {
            const Rgba& p = img.pixels[static_cast<std::size_t>(y) * img.size + x];
            raw.append({static_cast<char>(p.r), static_cast<char>(p.g), static_cast<char>(p.b), static_cast<char>(p.a)});
        }
    }
    uLongf nPacked = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(nPacked, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &nPacked, reinterpret_cast<const Bytef*>(raw.data()),
                  static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION) != Z_OK)
        return false;
    packed.resize(nPacked);

    std::string header;
    PutBigEndian(header, static_cast<std::uint32_t>(img.size));
    PutBigEndian(header, static_cast<std::uint32_t>(img.size));
    header += std::string("\x08\x06\x00\x00\x00", 5);  // depth 8, RGBA, deflate, adaptive filters, no interlace

    std::string png("\x89PNG\r\n\x1a\n", 8);
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", std::string());

    std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
    out.write(png.data(), static_cast<std::streamsize>(png.size()));
    out.close();
    return !out.fail();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
        return 2;
    }
    const std::string strDir = argv[1];

    const AFX_ICON* pIdle = nullptr;
    for (const AFX_ICON& icon : ProdletIcons()) {
        if (icon.id == IDI_IDLE)
            pIdle = &icon;
    }
    Image small, large;
    if (!pIdle || pIdle->small.size != 16 || pIdle->large.size != 32 || !FromArt(pIdle->small, small) ||
        !FromArt(pIdle->large, large)) {
        std::fprintf(stderr, "%s: the idle icon's 16 and 32 pixel art is missing or malformed\n", argv[0]);
        return 1;
    }

    bool bOk = WritePng(small, strDir + "/16.png") && WritePng(large, strDir + "/32.png");
    for (int nSize : {48, 64, 128, 256})
        bOk = bOk && WritePng(Draw(nSize), strDir + "/" + std::to_string(nSize) + ".png");
    if (!bOk) {
        std::fprintf(stderr, "%s: cannot write the icons into %s\n", argv[0], strDir.c_str());
        return 1;
    }
    return 0;
}
