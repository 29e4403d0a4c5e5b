#include "widgets/SymbolIcons.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

int paintedPixels(const QPixmap& pixmap)
{
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 40)
                ++count;
        }
    }
    return count;
}

const char* const kSymbols[] = {
    "magnifyingglass",
    "arrow.clockwise",
    "arrow.counterclockwise",
    "square.and.arrow.up",
    "xmark",
    "checkmark.square.fill",
    "square",
    "sparkles",
    "waveform",
    "puzzlepiece",
    "puzzlepiece.extension.fill",
    "arrow.triangle.2.circlepath",
    "checkmark.circle",
    "xmark.circle",
    "xmark.circle.fill",
    "list.bullet",
    "music.note.list",
    "arrow.up.right",
    "cube",
    "hexagon",
    "diamond",
    "w.circle",
    "arrow.down.to.line",
    "bolt.circle.fill",
    "checkmark.circle.fill",
    "trash",
    "exclamationmark.triangle.fill",
    "info.circle.fill",
    "safari",
    "doc.on.doc",
    "arrow.up.circle.fill",
    "arrow.down.circle.fill",
    "eye.fill",
    "chevron.down",
    "chevron.right",
    "checkmark.shield.fill",
    "gear",
    "clock",
    "clock.badge.xmark",
    "lock.shield",
    "doc.fill",
    "folder.fill.badge.checkmark",
    "menubar.rectangle",
    "square.stack.3d.up",
    "square.stack.3d.up.fill",
    "trash.fill",
    "trash.circle.fill",
    "line.3.horizontal.decrease.circle.fill",
    "bolt.trianglebadge.exclamationmark.fill",
    "arrow.left",
    "arrow.right",
    "checkmark",
    "info.circle",
    "eye.slash",
    "plus.circle",
    "play.circle.fill",
    "slider.horizontal.3",
    "square.and.arrow.down",
    "square.and.arrow.up.circle.fill",
    "arrow.triangle.2.circlepath.circle.fill",
    "waveform.badge.magnifyingglass",
};

} // namespace

TEST(SymbolIconsTest, EverySymbolOfTheViewsHasAGlyph)
{
    for (const char* symbol : kSymbols) {
        SCOPED_TRACE(symbol);
        EXPECT_TRUE(SymbolIcons::hasGlyph(QString::fromLatin1(symbol)));
        EXPECT_GT(paintedPixels(SymbolIcons::pixmap(QString::fromLatin1(symbol), 24, Qt::black)), 12);
        const QIcon icon = SymbolIcons::icon(QString::fromLatin1(symbol));
        EXPECT_FALSE(icon.isNull());
        EXPECT_GT(paintedPixels(icon.pixmap(QSize(24, 24))), 12);
    }
}

TEST(SymbolIconsTest, UnknownSymbolStillShowsSomething)
{
    EXPECT_FALSE(SymbolIcons::hasGlyph(QStringLiteral("no.such.symbol")));
    EXPECT_GT(paintedPixels(SymbolIcons::pixmap(QStringLiteral("no.such.symbol"), 24, Qt::black)), 12);
    EXPECT_GT(paintedPixels(SymbolIcons::tinted(QStringLiteral(""), Qt::red).pixmap(QSize(16, 16))), 4);
}

TEST(SymbolIconsTest, TintedGlyphUsesTheColour)
{
    const QImage image = SymbolIcons::pixmap(QStringLiteral("square"), 24, QColor(255, 0, 0)).toImage();
    bool sawRed = false;
    for (int y = 0; y < image.height() && !sawRed; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() > 200) {
                EXPECT_GT(c.red(), 200);
                EXPECT_LT(c.green(), 40);
                sawRed = true;
                break;
            }
        }
    }
    EXPECT_TRUE(sawRed);
    EXPECT_FALSE(SymbolIcons::themeName(QStringLiteral("magnifyingglass")).isEmpty());
}

// The glyph shapes at a size the table uses, thresholded to coverage; a lost cut-out, a glyph
// out of place or a broken resource shows here. A couple of pixels may round differently.
TEST(SymbolIconsTest, GlyphsKeepTheirShape)
{
    struct Case {
        const char* symbol;
        const char* rows[16];
    };
    const Case cases[] = {
        {"xmark.circle.fill",
         {"................", ".....######.....", "...##########...", "..############..", "..############..",
          ".####.####.####.", ".#####.##.#####.", ".######..######.", ".######..######.", ".#####.##.#####.",
          ".####.####.####.", "..############..", "..############..", "...##########...", ".....######.....",
          "................"}},
        {"arrow.clockwise",
         {"................", "................", "...#............", "...#..####......", "...#####.###....",
          "...####....#....", "....#.......#...", "............#...", "............#...", "............#...",
          "...........##...", "..........##....", ".....######.....", ".......##.......", "................",
          "................"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.symbol);
        const QImage image = SymbolIcons::pixmap(QString::fromLatin1(c.symbol), 16, Qt::darkBlue)
                                 .toImage()
                                 .convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(image.size(), QSize(16, 16));
        int differing = 0;
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                const bool covered = qAlpha(image.pixel(x, y)) > 127;
                differing += covered != (c.rows[y][x] == '#') ? 1 : 0;
            }
        }
        EXPECT_LE(differing, 2);
    }
}
