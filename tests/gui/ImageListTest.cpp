#include <gtest/gtest.h>

#include <QImage>
#include <QSet>

#include "views/ImageList.h"

namespace {

QImage image(int index) {
    return hv::ImageList::pixmap(index).toImage().convertToFormat(QImage::Format_ARGB32);
}

// The drawing's shape without its colours: which pixels are light and opaque.
QSet<int> lightPixels(const QImage& img) {
    QSet<int> set;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y);
            if (qAlpha(c) > 200 && qGray(c) > 200) set.insert(y * img.width() + x);
        }
    return set;
}

QSet<int> opaquePixels(const QImage& img) {
    QSet<int> set;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (qAlpha(img.pixel(x, y)) > 128) set.insert(y * img.width() + x);
    return set;
}

}  // namespace

TEST(ImageList, NineDistinctSixteenPixelImages) {
    QList<QImage> all;
    for (int i = 0; i < hv::ImageList::kCount; ++i) {
        const QImage img = image(i);
        ASSERT_EQ(img.size(), QSize(16, 16)) << i;
        EXPECT_GT(opaquePixels(img).size(), 40) << "image " << i << " is mostly empty";
        for (int j = 0; j < all.size(); ++j) EXPECT_NE(img, all[j]) << i << " vs " << j;
        all << img;
        EXPECT_FALSE(hv::ImageList::icon(i).isNull());
    }
    EXPECT_TRUE(hv::ImageList::pixmap(-1).isNull());
    EXPECT_TRUE(hv::ImageList::pixmap(hv::ImageList::kCount).isNull());
}

TEST(ImageList, PairsDifferInShapeNotOnlyInColour) {
    // Answered (check) vs not answering (cross): the light glyphs differ in many pixels.
    const QSet<int> check = lightPixels(image(0));
    const QSet<int> cross = lightPixels(image(1));
    EXPECT_GT((check - cross).size() + (cross - check).size(), 10);
    // Start (triangle) vs Stop (square): different silhouettes.
    const QSet<int> play = opaquePixels(image(2));
    const QSet<int> square = opaquePixels(image(3));
    EXPECT_GT((play - square).size() + (square - play).size(), 20);
}
